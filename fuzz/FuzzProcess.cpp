#include "FuzzProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <cstdlib>

QString startFuzzProcess(int* argc, char*** argv, const QString& name)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("velloran.*=false\n*.warning=false"));
    const QString pattern = u'/' + name + QStringLiteral("-XXXXXX");
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") + pattern
                                                                                 : QDir::tempPath() + pattern);
    if (!dir.isValid())
        std::abort();
    return dir.path();
}
