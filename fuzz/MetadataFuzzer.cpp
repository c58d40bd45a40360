#include "FuzzProcess.h"
#include "MetadataFuzzInput.h"
#include "platform/Exiv2Setup.h"

// libFuzzer target: bytes as a photo, through the reader and the writer in each
// editing mode. Seed it with the shared sample photos.
namespace {

QString workDir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    workDir = startFuzzProcess(argc, argv, QStringLiteral("velloran-fuzz"));
    initializeExiv2();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzMetadataInput(data, size, workDir);
    return 0;
}
