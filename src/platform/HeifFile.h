#pragma once

#include <QImage>
#include <QSize>
#include <QString>

struct heif_context;
struct heif_image_handle;

// A HEIF file opened with libheif and its primary image, released together when
// the object goes. The one place that opens HEIF files: the pixel size and the
// thumbnail decode both come from here. libheif itself is loaded on the first use;
// where it cannot be, every file reads as one libheif could not open.
class HeifFile {
public:
    explicit HeifFile(const QString& path);
    ~HeifFile();
    HeifFile(const HeifFile&) = delete;
    HeifFile& operator=(const HeifFile&) = delete;

    // True for a file whose first bytes libheif recognises as HEIF (by content, not by name).
    static bool hasHeifSignature(const QString& path);

    // False when libheif could not read the file or find its primary image.
    bool isOpen() const { return m_primary != nullptr; }

    // The primary image's size as shown: libheif crops and turns by the file's own
    // transforms. Empty when the file is not open.
    QSize primarySize() const;

    // The primary image, or its thumbnail when that is at least as big as the box,
    // decoded with its transforms applied and scaled into the box with its aspect
    // kept. Null when nothing decodes.
    QImage decoded(QSize box) const;

private:
    heif_context* m_context = nullptr;
    heif_image_handle* m_primary = nullptr;
};
