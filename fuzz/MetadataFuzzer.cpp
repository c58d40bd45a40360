#include "MetadataFuzzInput.h"
#include "platform/Exiv2Setup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <cstdlib>

// libFuzzer target: bytes as a photo, through the reader and the writer in each
// editing mode. Seed it with the shared sample photos.
namespace {

QTemporaryDir* workDir = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Kept for the life of the process: Qt's plugin lookup expects an application object.
    static QCoreApplication app(*argc, *argv);
    // The inputs are garbage by design; a warning per input would only slow the run.
    QLoggingCategory::setFilterRules(QStringLiteral("velloran.*=false\n*.warning=false"));
    initializeExiv2();
    // A tmpfs keeps the writer's flush of every output from waiting on a disk.
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? QStringLiteral("/dev/shm/velloran-fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/velloran-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    workDir = &dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzMetadataInput(data, size, workDir->path());
    return 0;
}
