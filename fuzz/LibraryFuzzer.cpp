#include "LibraryFuzzInput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <cstdlib>

// libFuzzer target: bytes as a photo library's database and XML list, read by
// both library readers. Seed it with fuzz/library-seeds.
namespace {

QTemporaryDir* workDir = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    QLoggingCategory::setFilterRules(QStringLiteral("velloran.*=false\n*.warning=false"));
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
            ? QStringLiteral("/dev/shm/velloran-library-fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/velloran-library-fuzz-XXXXXX"));
    if (!dir.isValid())
        std::abort();
    workDir = &dir;
    // The readers copy each database under the cache location: here, inside the work folder.
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzLibraryInput(data, size, workDir->path());
    return 0;
}
