#include "app/AppDelegate.h"
#include "app/AppLogging.h"
#include "platform/Exiv2Setup.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELLORAN_VERSION));
    // The application ends when its main window closes, through the delegate.
    QApplication::setQuitOnLastWindowClosed(false);

    // The log file's place is logged; nothing is written there.
    const QString logPath
        = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Velloran_AppLogs.log");
    qCInfo(lcApp).noquote() << "log file path =" << logPath;

    initializeExiv2();
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    return QApplication::exec();
}
