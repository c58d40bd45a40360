#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// The rewrite of a HEIF file's metadata items where they lie, for a writer that
// keeps every other byte of the file.
namespace BmffLayout {

// The file with new contents for the primary image's Exif item (exifTiff: its TIFF
// block, after whatever preceded the old one's TIFF header, the header's offset and
// "Exif\0\0") and its XMP item (xmpPacket, with the C string's end the old packet
// had), each where the old item lay. Every byte after them moves by what they
// grow: the media data box that holds them is resized, and "iloc" places every
// item anew; no other byte changes, so image data, thumbnails and other images'
// items are kept as they were. Nothing when the layout does not plainly allow
// that: an item to replace is missing, lies in "idat" or in more than one extent,
// another item's bytes overlap it, a field of "iloc" is too narrow for a new
// offset or length, an item lies in another file, is made of other items or
// holds a field the rewrite sets (a media data box's header, "iloc"), "iinf"
// names an item twice, the XMP item's packet is encoded (deflated), or the file
// holds a box other than "ftyp", "meta", "mdat", "free" and "skip" at its top (a
// movie's boxes place data by file offsets) or bytes after its boxes. Such a
// file is for a writer that rebuilds it.
std::optional<QByteArray> withMetadataItems(
    QByteArrayView file, std::optional<QByteArrayView> exifTiff, std::optional<QByteArrayView> xmpPacket);

} // namespace BmffLayout
