#include "FuzzProcess.h"
#include "LibraryFuzzInput.h"

#include <QDir>

// libFuzzer target: bytes as a photo library's database and XML list, read by
// both library readers. Seed it with fuzz/library-seeds.
namespace {

QString workDir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    workDir = startFuzzProcess(argc, argv, QStringLiteral("velloran-library-fuzz"));
    // The readers copy each database under the cache location: here, inside the work folder.
    qputenv("XDG_CACHE_HOME", QDir(workDir).filePath(QStringLiteral("cache")).toUtf8());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzLibraryInput(data, size, workDir);
    return 0;
}
