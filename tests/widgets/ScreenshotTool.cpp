// Renders the main window as a user first sees it (with the add-photos window in
// front) into a PNG, offscreen: velloran_screenshot OUT.png
#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindowController.h"
#include "controls/QVAppStoreWindow.h"

#include <QApplication>
#include <QDialog>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: velloran_screenshot OUT.png");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLORAN_VERSION));
    QTemporaryDir home;
    isolateUserFolders(home.path());

    AppDelegate delegate;
    delegate.setTerminateHandler([] {});
    delegate.applicationDidFinishLaunching();
    MainWindowController* controller = delegate.myWindowController();

    int result = 1;
    // The add-photos window comes up a moment after the main window.
    QTimer::singleShot(600, &app, [&] {
        QWidget* window = controller->windowMain();
        QPixmap shot = window->grab();
        if (QDialog* front = controller->winAddPhotos(); front->isVisible()) {
            QPainter painter(&shot);
            painter.drawPixmap(front->geometry().topLeft() - window->geometry().topLeft(), front->grab());
        }
        result = shot.save(out) ? 0 : 1;
        QCoreApplication::exit(result);
    });
    QApplication::exec();
    return result;
}
