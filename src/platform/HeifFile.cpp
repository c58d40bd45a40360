#include "platform/HeifFile.h"

#include <QFile>
#include <libheif/heif.h>
#include <memory>

HeifFile::HeifFile(const QString& path)
    : m_context(heif_context_alloc())
{
    if (!m_context)
        return;
    if (heif_context_read_from_file(m_context, QFile::encodeName(path).constData(), nullptr).code != heif_error_Ok)
        return;
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(m_context, &primary).code == heif_error_Ok)
        m_primary = primary;
}

bool HeifFile::hasHeifSignature(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12
        && heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()))
        == heif_filetype_yes_supported;
}

HeifFile::~HeifFile()
{
    if (m_primary)
        heif_image_handle_release(m_primary);
    if (m_context)
        heif_context_free(m_context);
}

QSize HeifFile::primarySize() const
{
    if (!m_primary)
        return {};
    return { heif_image_handle_get_width(m_primary), heif_image_handle_get_height(m_primary) };
}

QImage HeifFile::decoded(QSize box) const
{
    if (!m_primary)
        return {};
    using HandlePtr = std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)>;
    HandlePtr thumbnail(nullptr, heif_image_handle_release);
    heif_item_id thumbnailId = 0;
    if (heif_image_handle_get_list_of_thumbnail_IDs(m_primary, &thumbnailId, 1) == 1) {
        heif_image_handle* found = nullptr;
        if (heif_image_handle_get_thumbnail(m_primary, thumbnailId, &found).code == heif_error_Ok) {
            thumbnail.reset(found);
            if (heif_image_handle_get_width(found) < box.width() || heif_image_handle_get_height(found) < box.height())
                thumbnail.reset();
        }
    }
    heif_image_handle* source = thumbnail ? thumbnail.get() : m_primary;
    heif_image* decodedImage = nullptr;
    if (heif_decode_image(source, &decodedImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code
        != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image, decltype(&heif_image_release)> pixels(decodedImage, heif_image_release);
    int stride = 0;
    const uint8_t* data = heif_image_get_plane_readonly(pixels.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(pixels.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(pixels.get(), heif_channel_interleaved);
    if (!data || width <= 0 || height <= 0)
        return {};
    const QImage view(data, width, height, stride, QImage::Format_RGBA8888);
    const QSize wanted = view.size().scaled(box, Qt::KeepAspectRatio).boundedTo(view.size());
    // scaled() and copy() both detach from the libheif buffer before it is released.
    return wanted == view.size() ? view.copy() : view.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
