#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Where a photo's image data lies, as opposed to its metadata: a JPEG's scan data
// (from its first start of scan to the end of the image; the trailers after it are
// metadata, see JpegTrailer), a TIFF file's strips, tiles and JPEG streams in every
// image directory, a PNG's IDAT and fdAT chunks, a WebP's image chunks, and a base
// media file's items and media data (see BmffLayout::imageDataOf). A metadata
// writer must leave all of it as it was, so a written file is held against its
// original here before it replaces anything: whatever a writer did to the
// metadata, wrongly read structure, a directory it could not read, an item it
// dropped, shows as image data that is not the same.
namespace ImageDataLayout {

// The image data of a file as pieces, each a unit that must come back whole and
// in order (a strip, an item). A piece may lie in several parts of the file whose
// cuts do not matter (the IDAT chunks of a PNG, the media data of a base media
// file around its metadata items): they are compared as one stream.
using Piece = std::vector<QByteArrayView>;
using Pieces = std::vector<Piece>;

enum class Kind { Jpeg, Tiff, Png, Webp, Bmff, Other };
Kind kindOf(QByteArrayView head);

// Where a JPEG's first start of scan lies (its 0xFF); nothing when the segments
// before it cannot be walked.
std::optional<qsizetype> jpegScanStart(QByteArrayView file);

// The file's image data; nothing when its structure cannot be read far enough to
// tell where it lies (for a file of another kind as well).
std::optional<Pieces> piecesOf(QByteArrayView file);

// Whether a written file holds its original's image data byte for byte.
struct Comparison {
    enum Outcome {
        Same, // or a kind whose image data is not told apart from its metadata
        Differs,
        NotFound, // the original's image data cannot be found: nothing can vouch for it
    };
    Outcome outcome = Same;
    QString detail; // for the log
};
Comparison compare(QByteArrayView original, QByteArrayView written);

// Where a TIFF file's strips, tiles and JPEG streams lie, each as offset and
// size, in the order of its directories: the chain from the header and the
// SubIFDs of each. The structure is read through read(offset, size), which
// answers fewer bytes where the file ends, so that a file need not be read
// whole. Nothing when the first directory cannot be read or no directory places
// any image data: such a file is damaged.
struct Range {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};
using ByteReader = std::function<QByteArray(std::uint64_t offset, std::uint64_t size)>;
std::optional<std::vector<Range>> tiffImageRanges(const ByteReader& read, std::uint64_t fileSize);

// Why a TIFF file at path cannot be written for its image data's sake; nothing
// when its image data can be found, or it is no TIFF file, or it cannot be opened
// (its readers have their own words for that).
std::optional<QString> tiffDamage(const QString& path);

} // namespace ImageDataLayout
