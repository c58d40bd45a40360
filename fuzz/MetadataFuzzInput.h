#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// One input of the metadata fuzzer: the bytes are walked for a HEIF file's
// metadata items and for their image data as the writer's verification walks
// it, then become a photo file in workDir, which is read as the batch list reads
// a photo and then written in each editing mode (and restored) into workDir.
// Every file it makes there is removed again.
// Anything that is not a crash, leak or hang is fine: the bytes are mostly garbage.
void fuzzMetadataInput(const std::uint8_t* data, std::size_t size, const QString& workDir);
