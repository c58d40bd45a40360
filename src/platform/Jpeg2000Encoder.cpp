#include "platform/Jpeg2000Encoder.h"

#include <cstring>
#include <memory>
#include <openjpeg.h>

namespace {

// The file as OpenJPEG writes it: the JP2 writer seeks back to fill in box lengths.
struct MemoryFile {
    QByteArray bytes;
    qint64 position = 0;

    void reach(qint64 end)
    {
        if (end > bytes.size())
            bytes.resize(end, '\0');
    }
};

OPJ_SIZE_T writeTo(void* data, OPJ_SIZE_T length, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    file->reach(file->position + qint64(length));
    std::memcpy(file->bytes.data() + file->position, data, length);
    file->position += qint64(length);
    return length;
}

OPJ_OFF_T skipIn(OPJ_OFF_T length, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    if (file->position + length < 0)
        return -1;
    file->position += length;
    file->reach(file->position);
    return length;
}

OPJ_BOOL seekIn(OPJ_OFF_T position, void* user)
{
    auto* file = static_cast<MemoryFile*>(user);
    if (position < 0)
        return OPJ_FALSE;
    file->position = position;
    file->reach(position);
    return OPJ_TRUE;
}

void keepMessage(const char* message, void* user)
{
    auto* kept = static_cast<QString*>(user);
    if (kept->isEmpty())
        *kept = QString::fromUtf8(message).trimmed();
}

void ignoreMessage(const char*, void*) { }

struct ImageDeleter {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};
struct CodecDeleter {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamDeleter {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};

// The number of wavelet levels plus one; each level halves the picture, and the
// smallest must keep at least a pixel.
int resolutionsFor(const QSize& size)
{
    int resolutions = 1;
    for (int side = qMin(size.width(), size.height()); side >= 2 && resolutions < 6; side /= 2)
        ++resolutions;
    return resolutions;
}

} // namespace

QByteArray Jpeg2000Encoder::encode(const QImage& image, QString* errorMessage)
{
    const auto fail = [errorMessage](const QString& message) {
        if (errorMessage)
            *errorMessage = message;
        return QByteArray();
    };
    if (image.isNull())
        return fail(QStringLiteral("There is no image to save."));

    const bool grey = image.isGrayscale() && !image.hasAlphaChannel();
    const int components = grey ? 1 : image.hasAlphaChannel() ? 4 : 3;
    const QImage pixels = grey ? image.convertToFormat(QImage::Format_Grayscale8)
                               : image.convertToFormat(QImage::Format_ARGB32);
    const int width = pixels.width();
    const int height = pixels.height();

    opj_image_cmptparm_t parameters[4];
    std::memset(parameters, 0, sizeof parameters);
    for (int c = 0; c < components; ++c) {
        parameters[c].dx = parameters[c].dy = 1;
        parameters[c].w = OPJ_UINT32(width);
        parameters[c].h = OPJ_UINT32(height);
        parameters[c].prec = 8;
        parameters[c].sgnd = 0;
    }
    const std::unique_ptr<opj_image_t, ImageDeleter> picture(
        opj_image_create(OPJ_UINT32(components), parameters, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB));
    if (!picture)
        return fail(QStringLiteral("The JPEG 2000 encoder could not hold the picture."));
    picture->x0 = picture->y0 = 0;
    picture->x1 = OPJ_UINT32(width);
    picture->y1 = OPJ_UINT32(height);
    if (components == 4)
        picture->comps[3].alpha = 1;
    for (int y = 0; y < height; ++y) {
        const size_t rowStart = size_t(y) * size_t(width);
        if (grey) {
            const uchar* row = pixels.constScanLine(y);
            for (int x = 0; x < width; ++x)
                picture->comps[0].data[rowStart + size_t(x)] = row[x];
            continue;
        }
        const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t i = rowStart + size_t(x);
            picture->comps[0].data[i] = qRed(row[x]);
            picture->comps[1].data[i] = qGreen(row[x]);
            picture->comps[2].data[i] = qBlue(row[x]);
            if (components == 4)
                picture->comps[3].data[i] = qAlpha(row[x]);
        }
    }

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0; // no rate limit: lossless with the reversible wavelet (the default)
    settings.cp_disto_alloc = 1;
    settings.numresolution = resolutionsFor(pixels.size());

    const std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_compress(OPJ_CODEC_JP2));
    if (!codec)
        return fail(QStringLiteral("The JPEG 2000 encoder could not be started."));
    QString message;
    opj_set_error_handler(codec.get(), keepMessage, &message);
    opj_set_warning_handler(codec.get(), ignoreMessage, nullptr);
    opj_set_info_handler(codec.get(), ignoreMessage, nullptr);

    MemoryFile file;
    const std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!stream)
        return fail(QStringLiteral("The JPEG 2000 encoder could not be started."));
    opj_stream_set_user_data(stream.get(), &file, nullptr);
    opj_stream_set_write_function(stream.get(), writeTo);
    opj_stream_set_skip_function(stream.get(), skipIn);
    opj_stream_set_seek_function(stream.get(), seekIn);

    const bool encoded = opj_setup_encoder(codec.get(), &settings, picture.get())
        && opj_start_compress(codec.get(), picture.get(), stream.get()) && opj_encode(codec.get(), stream.get())
        && opj_end_compress(codec.get(), stream.get());
    if (!encoded)
        return fail(QStringLiteral("The JPEG 2000 encoder failed: %1")
                        .arg(message.isEmpty() ? QStringLiteral("no reason given") : message));
    return file.bytes;
}
