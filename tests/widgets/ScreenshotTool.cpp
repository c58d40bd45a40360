// Renders the main window as a user first sees it (with the add-photos window in
// front) into a PNG, offscreen: velloran_screenshot OUT.png [tips|rate|close|photos DIR|menu DIR]
// The optional word shows that window in front instead; "photos DIR" shows the main
// window after the photos of DIR were added, "menu DIR" then the first photo's menu.
#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MainWindowController.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "controls/EditorContext.h"
#include "controls/AttachedPopupTable.h"
#include "controls/QVAppStoreWindow.h"
#include "controls/UniformListView.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <functional>

int main(int argc, char** argv)
{
    // A desktop's screen: the window shrinks to a smaller one.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" VELLORAN_OFFSCREEN_SCREEN);
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: velloran_screenshot OUT.png");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString front = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLORAN_VERSION));
    QTemporaryDir home;
    isolateUserFolders(home.path());

    AppDelegate delegate;
    delegate.setTerminateHandler([] {});
    delegate.applicationDidFinishLaunching();
    MainWindowController* controller = delegate.myWindowController();

    QTimer::singleShot(400, &app, [&] {
        if (front.isEmpty())
            return;
        controller->hideAddPhotosWindow();
        if (front == QLatin1String("tips"))
            delegate.showTips();
        else if (front == QLatin1String("rate"))
            controller->showAlertForRateApp();
        else if (front == QLatin1String("close"))
            delegate.presenter().presentSheet(controller->alertCloseApp(), {});
        else if ((front == QLatin1String("photos") || front == QLatin1String("menu")) && argc > 3)
            controller->editorView()->addPhotosFromPathUrls(
                { QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath())) },
                false);
    });
    auto* editor = qobject_cast<ExifEditorView*>(controller->vwExifEditor());
    const auto busy
        = [&] { return editor && (editor->photoListPanel()->intake()->isRunning() || editor->isLoadingShown()); };

    int result = 1;
    // The add-photos window comes up a moment after the main window.
    bool waited = false;
    std::function<void()> shoot = [&] {
        // An adding ends first; the thumbnails follow once the list has rested.
        if (busy() || waited) {
            QTimer::singleShot(busy() ? 200 : 800, &app, shoot);
            waited = busy();
            return;
        }
        QWidget* window = controller->windowMain();
        if (front == QLatin1String("menu") && !editor->context().attachedPopup().isOpen()) {
            PhotoListPanel* list = editor->photoListPanel();
            const QRect row = list->tblPhotos()->visualRect(list->model()->index(0));
            list->btnInfoTappedAtLocation(
                list->tblPhotos()->viewport()->mapTo(editor, row.topRight() - QPoint(30, -20)), 0, false);
            QTimer::singleShot(300, &app, shoot);
            return;
        }
        QPixmap shot = window->grab();
        QPainter painter(&shot);
        for (QWidget* other : QApplication::topLevelWidgets()) {
            if (other != window && other->isVisible() && other->parentWidget() == window)
                painter.drawPixmap(other->geometry().topLeft() - window->geometry().topLeft(), other->grab());
        }
        painter.end();
        result = shot.save(out) ? 0 : 1;
        QCoreApplication::exit(result);
    };
    QTimer::singleShot(front == QLatin1String("photos") || front == QLatin1String("menu") ? 1500 : 800, &app, [&] { shoot(); });
    QApplication::exec();
    return result;
}
