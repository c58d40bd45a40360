#include "platform/GifEncoder.h"

#include <QHash>
#include <gif_lib.h>
#include <memory>
#include <vector>

namespace {

constexpr int kMaxColours = 256;
// GIF's sizes are 16-bit.
constexpr int kMaxSide = 65535;

int appendToArray(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

QString gifError(int code)
{
    const char* text = GifErrorString(code);
    return QStringLiteral("The GIF encoder failed: %1").arg(text ? QString::fromUtf8(text) : QString::number(code));
}

bool isTransparent(QRgb pixel) { return qAlpha(pixel) < 128; }

// The picture as palette indexes: every colour its own entry while there are at most
// `room` of them, else giflib's quantiser chooses `room`.
struct Indexed {
    std::vector<GifByteType> pixels;
    std::vector<GifColorType> palette;
    int transparentIndex = -1;
};

Indexed indexed(const QImage& argb)
{
    const int width = argb.width();
    const int height = argb.height();
    bool anyTransparent = false;
    for (int y = 0; y < height && !anyTransparent; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < width && !anyTransparent; ++x)
            anyTransparent = isTransparent(row[x]);
    }
    const int room = anyTransparent ? kMaxColours - 1 : kMaxColours;

    Indexed result;
    result.pixels.resize(size_t(width) * size_t(height));
    QHash<QRgb, int> entries;
    bool fits = true;
    for (int y = 0; y < height && fits; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (isTransparent(row[x]))
                continue;
            const QRgb colour = row[x] & RGB_MASK;
            auto it = entries.constFind(colour);
            if (it == entries.constEnd()) {
                if (entries.size() == room) {
                    fits = false;
                    break;
                }
                it = entries.insert(colour, int(entries.size()));
                result.palette.push_back(
                    { GifByteType(qRed(colour)), GifByteType(qGreen(colour)), GifByteType(qBlue(colour)) });
            }
            result.pixels[size_t(y) * size_t(width) + size_t(x)] = GifByteType(it.value());
        }
    }
    if (!fits) {
        std::vector<GifByteType> red(result.pixels.size()), green(result.pixels.size()), blue(result.pixels.size());
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                red[i] = GifByteType(qRed(row[x]));
                green[i] = GifByteType(qGreen(row[x]));
                blue[i] = GifByteType(qBlue(row[x]));
            }
        }
        int colours = room;
        result.palette.assign(kMaxColours, GifColorType { 0, 0, 0 });
        if (GifQuantizeBuffer(unsigned(width), unsigned(height), &colours, red.data(), green.data(), blue.data(),
                result.pixels.data(), result.palette.data())
            != GIF_OK)
            return {};
        result.palette.resize(size_t(colours));
    }
    if (anyTransparent) {
        result.transparentIndex = int(result.palette.size());
        result.palette.push_back({ 0, 0, 0 });
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                if (isTransparent(row[x]))
                    result.pixels[size_t(y) * size_t(width) + size_t(x)] = GifByteType(result.transparentIndex);
            }
        }
    }
    return result;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

QByteArray GifEncoder::encode(const QImage& image, QString* errorMessage)
{
    const auto fail = [errorMessage](const QString& message) {
        if (errorMessage)
            *errorMessage = message;
        return QByteArray();
    };
    if (image.isNull())
        return fail(QStringLiteral("There is no image to save."));
    if (image.width() > kMaxSide || image.height() > kMaxSide)
        return fail(QStringLiteral("A GIF image is at most %1 pixels wide and high.").arg(kMaxSide));

    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Indexed picture = indexed(argb);
    if (picture.palette.empty() && picture.pixels.empty())
        return fail(QStringLiteral("The GIF encoder could not reduce the picture to 256 colours."));
    // A GIF colour table has a power of two entries, at least two.
    int tableSize = 2;
    while (tableSize < int(picture.palette.size()))
        tableSize *= 2;
    picture.palette.resize(size_t(tableSize), GifColorType { 0, 0, 0 });
    const std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(tableSize, picture.palette.data()));
    if (!map)
        return fail(QStringLiteral("The GIF encoder could not make its colour table."));

    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendToArray, &error);
    if (!gif)
        return fail(gifError(error));
    EGifSetGifVersion(gif, picture.transparentIndex >= 0);
    bool written = EGifPutScreenDesc(gif, argb.width(), argb.height(), map->BitsPerPixel, 0, map.get()) == GIF_OK;
    if (written && picture.transparentIndex >= 0) {
        GraphicsControlBlock control { DISPOSAL_UNSPECIFIED, false, 0, picture.transparentIndex };
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        written = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    written = written && EGifPutImageDesc(gif, 0, 0, argb.width(), argb.height(), false, nullptr) == GIF_OK;
    for (int y = 0; written && y < argb.height(); ++y)
        written = EGifPutLine(gif, picture.pixels.data() + size_t(y) * size_t(argb.width()), argb.width()) == GIF_OK;
    const int failure = gif->Error;
    int closeError = 0;
    // Closing writes the trailer and frees the encoder, also after a failure.
    const bool closed = EGifCloseFile(gif, &closeError) == GIF_OK;
    if (!written)
        return fail(gifError(failure));
    if (!closed)
        return fail(gifError(closeError));
    return bytes;
}
