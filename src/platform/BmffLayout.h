#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// The top-level boxes of an ISO base media file (HEIC, HEIF, AVIF, CR3), read from
// their headers alone.
namespace BmffLayout {

// Whether the bytes start like such a file (an "ftyp" box first).
bool isBmff(QByteArrayView head);

// Nothing when the file at path is whole as far as its top-level boxes tell: they
// fill the file exactly, and the media data is there (an "mdat" box, or an "idat"
// box inside "meta"). Else why not, for the user. A file that is no such file, or
// cannot be read, answers nothing: its readers have their own words for it.
std::optional<QString> missingPart(const QString& path);

} // namespace BmffLayout
