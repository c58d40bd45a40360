#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>

// One input of the photo-library fuzzer. The first four bytes (little-endian)
// give the length of a database; that many bytes follow, and the rest is an XML
// list. The database becomes a Photos library's, and with the list an older
// library's, in workDir; both readers read them as the intake does, and the
// libraries are removed again. A reading still running after stopAfter is
// stopped, as the user's Stop would: a crafted view may list nothing for ever.
// Anything that is not a crash, leak or hang is fine.
void fuzzLibraryInput(const std::uint8_t* data, std::size_t size, const QString& workDir,
    std::chrono::milliseconds stopAfter = std::chrono::seconds(2));

// The input fuzzLibraryInput reads as the given database and XML list.
QByteArray libraryFuzzInput(const QByteArray& database, const QByteArray& xmlList);
