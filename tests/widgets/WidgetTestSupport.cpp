#include "WidgetTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

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
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));
}

void clearUserDefaults()
{
    QSettings settings(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velloran"), QStringLiteral("Velloran"));
    settings.clear();
    settings.sync();
}
