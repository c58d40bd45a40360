// Renders the main window as a user first sees it (with the add-photos window in
// front) into a PNG, offscreen: velloran_screenshot OUT.png [tips|rate|close]
// The optional word shows that window in front instead.
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
            controller->alertCloseApp()->open();
    });

    int result = 1;
    // The add-photos window comes up a moment after the main window.
    QTimer::singleShot(800, &app, [&] {
        QWidget* window = controller->windowMain();
        QPixmap shot = window->grab();
        QPainter painter(&shot);
        for (QWidget* other : QApplication::topLevelWidgets()) {
            if (other != window && other->isVisible() && other->parentWidget() == window)
                painter.drawPixmap(other->geometry().topLeft() - window->geometry().topLeft(), other->grab());
        }
        painter.end();
        result = shot.save(out) ? 0 : 1;
        QCoreApplication::exit(result);
    });
    QApplication::exec();
    return result;
}
