#include "platform/Exiv2Setup.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// One QCoreApplication for the whole run: Qt's plugin lookup, QStandardPaths and
// queued hand-offs all expect one to exist.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("VelloranTests"));
    initializeExiv2();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
