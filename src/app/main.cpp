#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "app/SingleInstance.h"
#include "app/UnixSignalWatcher.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/DialogPresenter.h"
#include "controls/ImageNamed.h"
#include "platform/Exiv2Setup.h"
#include "platform/XmpWorkers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QStandardPaths>

namespace {

// A later start: the running one comes to the front, or the user hears why nothing
// opens.
int handOverToRunningInstance(SingleInstance& instance)
{
    if (instance.activateRunningInstance()) {
        qCInfo(lcApp) << "Velloran is already running; its window was brought to the front";
        return 0;
    }
    DialogPresenter presenter;
    presenter.presentAlert(nullptr, AlertCatalog::alreadyRunning(), [](int) { QCoreApplication::quit(); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    XmpWorkers::start();
    QElapsedTimer launch;
    launch.start();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLORAN_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("velloran"));
    // Every window, dialogs included, carries the icon that the installed desktop entry names.
    initVelloranResources();
    QApplication::setWindowIcon(QIcon(imageResourcePath(QStringLiteral("velloran"))));
    // The application ends when its main window closes, through the delegate.
    QApplication::setQuitOnLastWindowClosed(false);

    // The log file's place is logged; nothing is written there.
    const QString logPath
        = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Velloran_AppLogs.log");
    qCInfo(lcApp).noquote() << "log file path =" << logPath;

    SingleInstance instance;
    if (!instance.tryToRun())
        return handOverToRunningInstance(instance);

    initializeExiv2();
    AppDelegate delegate;
    delegate.setLaunchTimer(launch);
    QObject::connect(&instance, &SingleInstance::activationRequested, &delegate, &AppDelegate::activateMainWindow);
    UnixSignalWatcher unixSignals;
    QObject::connect(&unixSignals, &UnixSignalWatcher::terminationRequested, &delegate, [&delegate](int number) {
        qCInfo(lcApp) << "ending on signal" << number;
        delegate.terminate();
    });
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
