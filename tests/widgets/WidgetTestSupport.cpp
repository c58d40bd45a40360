#include "WidgetTestSupport.h"

#include "app/ExifEditorView.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "form/widgets/MetadataFormView.h"
#include "model/PhotoFile.h"
#include "viewer/MetaDataViewerModel.h"
#include "viewer/widgets/MetaDataPopupView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says so each time a window is raised; that is no news.
void dropOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

void RecordingPresenter::presentAlert(QWidget*, const AlertRequest& request, std::function<void(int)> answered)
{
    alerts.append({ request, std::move(answered) });
}

void RecordingPresenter::presentOpenPanel(
    QWidget*, const OpenPanelRequest& request, std::function<void(const QStringList&)> chosen)
{
    panels.append({ request, std::move(chosen) });
}

void RecordingPresenter::answerPanel(const QStringList& paths)
{
    if (panels.isEmpty())
        return;
    const PanelQuestion question = panels.takeLast();
    if (question.answer)
        question.answer(paths);
}

void isolateUserFolders(const QString& root)
{
    if (!g_previousHandler)
        g_previousHandler = qInstallMessageHandler(dropOffscreenNotices);
    QStandardPaths::setTestModeEnabled(true);
    const QString runtime = root + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The home folder too: the pictures folder (the default output folder) and the
    // user-dirs file that names it are found through HOME and XDG_CONFIG_HOME.
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));
}

void settleEvents()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

bool shootViewer(MetaDataPopupView& viewer, int index, const QString& path, const std::function<void()>& settle)
{
    QSignalSpy thumbnail(&viewer.model(), &MetaDataViewerModel::thumbnailReady);
    if (!viewer.showPhotoAt(index))
        return false;
    thumbnail.wait(5000);
    settle();
    return viewer.grab().save(path);
}

ScreenshotFolders::ScreenshotFolders(int argc, char** argv, const char* tool)
{
    if (argc < 3) {
        qWarning("usage: %s OUTDIR SAMPLESDIR", tool);
        return;
    }
    out.setPath(QString::fromLocal8Bit(argv[1]));
    samples.setPath(QDir::cleanPath(QString::fromLocal8Bit(argv[2])));
    isolateUserFolders(m_home.path());
    m_ok = true;
}

void clearUserDefaults()
{
    QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"));
    settings.clear();
    settings.sync();
}

void RecordedApplication::startApplication()
{
    m_app = std::make_unique<AppDelegate>();
    m_presenter = std::make_shared<RecordingPresenter>();
    m_opener = std::make_shared<RecordingUrlOpener>();
    m_app->setPresenter(m_presenter);
    m_app->setUrlOpener(m_opener);
}

void appendToEditor(ExifEditorView& editor, const QList<std::shared_ptr<PhotoFile>>& photos)
{
    MetadataFormView* form = editor.metadataFormView();
    QVERIFY(form);
    QSignalSpy filled(form, &MetadataFormView::mergedRecordChanged);
    editor.photoListPanel()->model()->appendPhotos(photos);
    editor.processAfterAllPhotosAdded();
    QTRY_VERIFY(filled.count() > 0 && !form->state().mergeJob().isRunning());
}

QString copyPhoto(const QString& source, const QString& target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(source, target))
        return {};
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return target;
}

std::shared_ptr<PhotoFile> tickedCopy(const QString& source, const QString& target)
{
    auto photo = std::make_shared<PhotoFile>(copyPhoto(source, target), false);
    photo->isSelected = true;
    return photo;
}

void clickBox(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

void clickRow(QListWidget* table, const QString& text)
{
    const QList<QListWidgetItem*> items = table->findItems(text, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    table->scrollToItem(items.first());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(items.first()).center());
}

void typeThroughInputMethod(QWidget* widget, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}
