#pragma once

#include "platform/ImageDataLayout.h"

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

// The Exif data of the file's item of type "Exif", from its TIFF header on, as a
// view into file (the whole file's bytes). The item is found through "meta":
// "iinf" names it, "iloc" places it in the file or in "idat" (one extent). Nothing
// when there is no such item, or when any box or offset on the way does not fit
// in the file: the bytes are untrusted.
std::optional<QByteArrayView> exifItem(QByteArrayView file);

// The XMP packet of the file's "mime" item of content type "application/rdf+xml",
// found and checked as exifItem finds its item.
std::optional<QByteArrayView> xmpItem(QByteArrayView file);

// The file's image data (see ImageDataLayout): the bytes of each item that is
// not its Exif or XMP item (by item id, from the file or from "idat"), and the
// media data boxes' bytes around those two items. Nothing when "iloc" or an image
// item's place cannot be read, or the file holds neither.
std::optional<ImageDataLayout::Pieces> imageDataOf(QByteArrayView file);

} // namespace BmffLayout
