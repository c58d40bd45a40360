#pragma once

#include <QString>

// What a photo's kind allows, told from the file's content as it enters the list
// (ExifWriter::kindOf), so that checks before a run need not open the file again.
struct PhotoKind {
    // False for the kinds that have no place for IPTC data (HEIC, HEIF, AVIF, CR3, WebP).
    bool keepsIptc = true;
    // Those kinds' name for the user, by content rather than by the file's name:
    // "HEIC", "HEIF", "AVIF", "CR3" or "WEBP"; empty for the other kinds.
    QString name;

    bool operator==(const PhotoKind&) const = default;
};
