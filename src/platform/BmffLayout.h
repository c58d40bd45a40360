#pragma once

#include "platform/ImageDataLayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

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

// The Exif data of the primary image's item of type "Exif", from its TIFF header
// on, as a view into file (the whole file's bytes). The item is found through
// "meta": "iinf" names it, "iloc" places it in the file or in "idat" (one extent),
// and "iref" tells which image it describes: the one "pitm" names, or none (the
// file as a whole). An item that describes only another image (an iPhone's gain
// map carries its own XMP) is that image's. Nothing when there is no such item, or
// when any box or offset on the way does not fit in the file: the bytes are
// untrusted.
std::optional<QByteArrayView> exifItem(QByteArrayView file);

// What the primary image's Exif item is, for a writer that must not lose data it
// cannot read: there is none (or one exiftool emptied: no length, at bytes that
// are no Exif data); exifItem finds its TIFF block; it is damaged (its bytes run
// past the end of the file, or it has no length while Exif data lies at its
// place); or exifItem does not take it (several extents, another file, other
// items, no TIFF header where it looks), though exiv2 may.
enum class ExifItemState { None, Placed, Damaged, Elsewhere };
ExifItemState exifItemState(QByteArrayView file);

// The XMP packet of the primary image's "mime" item of content type
// "application/rdf+xml", found and checked as exifItem finds its item.
std::optional<QByteArrayView> xmpItem(QByteArrayView file);

// Whether the top-level boxes fill the file exactly, no byte left over.
bool boxesFillFile(QByteArrayView file);

// The file's image data (see ImageDataLayout): the bytes of each item that is
// not its Exif or XMP item (by item id, from the file or from "idat"), and the
// media data boxes' bytes around those two items. Nothing when "iloc" or an image
// item's place cannot be read, or the file holds neither.
std::optional<ImageDataLayout::Pieces> imageDataOf(QByteArrayView file);

// The primary image's Exif data and XMP packet as exifItem and xmpItem find them,
// and what the file's other images hold.
struct MetadataItems {
    std::optional<QByteArrayView> exif;
    std::optional<QByteArrayView> xmp;
    // Whether items of the kind describe other images; a reader that takes any
    // such item may have taken another image's.
    bool othersHoldExif = false;
    bool othersHoldXmp = false;
    // The bytes of the other images' Exif and XMP items, in file order: Exif first.
    std::vector<QByteArrayView> othersItems;
};
MetadataItems metadataItems(QByteArrayView file);

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

// A Canon CR3 file keeps its Exif data in the boxes CMT1 (the first directory),
// CMT2 (the Exif directory), CMT3 (the maker note) and CMT4 (GPS) of a "uuid" box
// inside "moov", and its XMP packet in a "uuid" box of its own at the top.

// Whether the file is such a file: a "moov" box holds Canon's metadata box.
bool isCanonRaw(QByteArrayView file);

// A small file of the same kind that holds only the "ftyp" box and a "moov" box
// with Canon's metadata box in it, for a reader that would trip over the rest;
// nothing when file is no such file.
std::optional<QByteArray> canonRawMetadataFile(QByteArrayView file);

// The packet of a CR3 file's XMP box, without a C string's end; nothing when
// there is none.
std::optional<QByteArrayView> canonRawXmp(QByteArrayView file);

} // namespace BmffLayout
