#include "platform/HeifFile.h"

#include "base/Logging.h"
#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <dlfcn.h>
#include <libheif/heif.h>
#include <memory>
#include <optional>

namespace {

// libheif and its codecs (x265, aom, dav1d, de265) are opened on the first HEIF file
// rather than linked: linked, every start of ours paid for loading them, and so did
// every process forked from it, most of which never see a HEIF photo. The header is
// still libheif's own, so each pointer has the type the library declares.
struct HeifLibrary {
    decltype(&heif_check_filetype) checkFiletype = nullptr;
    decltype(&heif_context_alloc) contextAlloc = nullptr;
    decltype(&heif_context_free) contextFree = nullptr;
    decltype(&heif_context_read_from_file) contextReadFromFile = nullptr;
    decltype(&heif_context_get_primary_image_handle) contextGetPrimaryImageHandle = nullptr;
    decltype(&heif_image_handle_release) imageHandleRelease = nullptr;
    decltype(&heif_image_handle_get_width) imageHandleGetWidth = nullptr;
    decltype(&heif_image_handle_get_height) imageHandleGetHeight = nullptr;
    decltype(&heif_image_handle_get_list_of_thumbnail_IDs) imageHandleGetListOfThumbnailIds = nullptr;
    decltype(&heif_image_handle_get_thumbnail) imageHandleGetThumbnail = nullptr;
    decltype(&heif_decode_image) decodeImage = nullptr;
    decltype(&heif_image_release) imageRelease = nullptr;
    decltype(&heif_image_get_plane_readonly) imageGetPlaneReadonly = nullptr;
    decltype(&heif_image_get_width) imageGetWidth = nullptr;
    decltype(&heif_image_get_height) imageGetHeight = nullptr;
};

template <typename Function> bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    if (!function)
        qCWarning(lcMetadata).noquote() << "libheif could not be loaded: it has no" << name
                                        << "- HEIF photos are neither measured nor decoded";
    return function != nullptr;
}

std::optional<HeifLibrary> openHeifLibrary()
{
    // Never closed: the codecs it loads stay for the rest of the process.
    void* library = dlopen("libheif.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        qCWarning(lcMetadata).noquote() << "libheif could not be loaded:" << (reason ? reason : "no reason given")
                                        << "- HEIF photos are neither measured nor decoded";
        return std::nullopt;
    }
    HeifLibrary heif;
    const bool complete = resolve(library, "heif_check_filetype", heif.checkFiletype)
        && resolve(library, "heif_context_alloc", heif.contextAlloc)
        && resolve(library, "heif_context_free", heif.contextFree)
        && resolve(library, "heif_context_read_from_file", heif.contextReadFromFile)
        && resolve(library, "heif_context_get_primary_image_handle", heif.contextGetPrimaryImageHandle)
        && resolve(library, "heif_image_handle_release", heif.imageHandleRelease)
        && resolve(library, "heif_image_handle_get_width", heif.imageHandleGetWidth)
        && resolve(library, "heif_image_handle_get_height", heif.imageHandleGetHeight)
        && resolve(library, "heif_image_handle_get_list_of_thumbnail_IDs", heif.imageHandleGetListOfThumbnailIds)
        && resolve(library, "heif_image_handle_get_thumbnail", heif.imageHandleGetThumbnail)
        && resolve(library, "heif_decode_image", heif.decodeImage)
        && resolve(library, "heif_image_release", heif.imageRelease)
        && resolve(library, "heif_image_get_plane_readonly", heif.imageGetPlaneReadonly)
        && resolve(library, "heif_image_get_width", heif.imageGetWidth)
        && resolve(library, "heif_image_get_height", heif.imageGetHeight);
    if (!complete)
        return std::nullopt;
    return heif;
}

// Null when libheif or one of its functions is missing; then every HEIF file reads as
// one libheif could not open. Opened once, by whichever reading thread comes first.
const HeifLibrary* heifLibrary()
{
    static const std::optional<HeifLibrary> library = openHeifLibrary();
    return library ? &*library : nullptr;
}

} // namespace

HeifFile::HeifFile(const QString& path)
{
    const HeifLibrary* heif = heifLibrary();
    if (!heif)
        return;
    m_context = heif->contextAlloc();
    if (!m_context)
        return;
    // libheif opens files by name with a blocking open: it gets the name of a
    // descriptor checked to be a regular file's, and keeps its own opening of it.
    const RegularFileForReading file(path);
    if (!file.isOpen()
        || heif->contextReadFromFile(m_context, file.reopenableName().constData(), nullptr).code != heif_error_Ok)
        return;
    heif_image_handle* primary = nullptr;
    if (heif->contextGetPrimaryImageHandle(m_context, &primary).code == heif_error_Ok)
        m_primary = primary;
}

bool HeifFile::hasHeifSignature(const QString& path)
{
    QFile file(path);
    if (!openRegularFile(file))
        return false;
    const QByteArray head = file.read(12);
    // Every HEIF file opens with its file type box; any other file is told apart here,
    // without loading libheif for it.
    if (head.size() != 12 || head.mid(4, 4) != "ftyp")
        return false;
    const HeifLibrary* heif = heifLibrary();
    return heif
        && heif->checkFiletype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()))
        == heif_filetype_yes_supported;
}

HeifFile::~HeifFile()
{
    // A context exists only when the library was loaded.
    if (!m_context)
        return;
    const HeifLibrary* heif = heifLibrary();
    if (m_primary)
        heif->imageHandleRelease(m_primary);
    heif->contextFree(m_context);
}

QSize HeifFile::primarySize() const
{
    if (!m_primary)
        return {};
    const HeifLibrary* heif = heifLibrary();
    return { heif->imageHandleGetWidth(m_primary), heif->imageHandleGetHeight(m_primary) };
}

QImage HeifFile::decoded(QSize box) const
{
    if (!m_primary)
        return {};
    const HeifLibrary* heif = heifLibrary();
    using HandlePtr = std::unique_ptr<heif_image_handle, decltype(heif->imageHandleRelease)>;
    HandlePtr thumbnail(nullptr, heif->imageHandleRelease);
    heif_item_id thumbnailId = 0;
    if (heif->imageHandleGetListOfThumbnailIds(m_primary, &thumbnailId, 1) == 1) {
        heif_image_handle* found = nullptr;
        if (heif->imageHandleGetThumbnail(m_primary, thumbnailId, &found).code == heif_error_Ok) {
            thumbnail.reset(found);
            if (heif->imageHandleGetWidth(found) < box.width() || heif->imageHandleGetHeight(found) < box.height())
                thumbnail.reset();
        }
    }
    heif_image_handle* source = thumbnail ? thumbnail.get() : m_primary;
    heif_image* decodedImage = nullptr;
    if (heif->decodeImage(source, &decodedImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code
        != heif_error_Ok)
        return {};
    std::unique_ptr<heif_image, decltype(heif->imageRelease)> pixels(decodedImage, heif->imageRelease);
    int stride = 0;
    const uint8_t* data = heif->imageGetPlaneReadonly(pixels.get(), heif_channel_interleaved, &stride);
    const int width = heif->imageGetWidth(pixels.get(), heif_channel_interleaved);
    const int height = heif->imageGetHeight(pixels.get(), heif_channel_interleaved);
    if (!data || width <= 0 || height <= 0)
        return {};
    const QImage view(data, width, height, stride, QImage::Format_RGBA8888);
    const QSize wanted = view.size().scaled(box, Qt::KeepAspectRatio).boundedTo(view.size());
    // scaled() and copy() both detach from the libheif buffer before it is released.
    return wanted == view.size() ? view.copy() : view.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
