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

// A Canon CR3 file keeps its Exif data in the boxes CMT1 (the first directory),
// CMT2 (the Exif directory), CMT3 (the maker note) and CMT4 (GPS) of a "uuid" box
// inside "moov", and its XMP packet in a "uuid" box of its own at the top.

// A small file of the same kind that holds only the "ftyp" box and a "moov" box
// with Canon's metadata box in it, for a reader that would trip over the rest;
// nothing when file is no such file.
std::optional<QByteArray> canonRawMetadataFile(QByteArrayView file);

// The packet of a CR3 file's XMP box, without a C string's end; nothing when
// there is none.
std::optional<QByteArrayView> canonRawXmp(QByteArrayView file);

} // namespace BmffLayout
