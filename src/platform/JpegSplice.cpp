#include "platform/JpegSplice.h"

#include "base/Logging.h"
#include "platform/FileReplacer.h"
#include "platform/JpegTrailer.h"

#include <algorithm>
#include <atomic>

namespace {

// The first read takes in the header of nearly every camera photo; a longer
// header doubles it.
constexpr qsizetype kFirstRead = 64 * 1024;
// A header beyond this (a huge colour profile or XMP split over many segments) is
// rare enough to be read whole with the rest of the file.
constexpr qsizetype kLongestHeader = 16 * 1024 * 1024;
// Bytes of image data the stub keeps after the start-of-scan segment: exiv2 looks
// at most 36 bytes past a segment's length field, so its walk over the stub sees
// exactly the bytes it would see in the file.
constexpr qsizetype kLookAhead = 64;
// The last bytes of a file, which hold the footer of any trailer after the image.
constexpr qint64 kTrailerFooters = 64;

std::atomic<bool> enabled { true };

} // namespace

JpegSplice::JpegSplice(std::unique_ptr<KeptSourceFile> file)
    : m_file(std::move(file))
{
}

std::unique_ptr<JpegSplice> JpegSplice::open(const QString& path)
{
    if (!enabled.load(std::memory_order_relaxed))
        return nullptr;
    std::unique_ptr<KeptSourceFile> file = KeptSourceFile::open(path);
    if (!file)
        return nullptr;
    const KeptSourceFile& source = *file;
    std::unique_ptr<JpegSplice> splice(new JpegSplice(std::move(file)));

    QByteArray header;
    qsizetype wanted = kFirstRead;
    JpegHeaderLayout::Status found = JpegHeaderLayout::Status::NeedMore;
    while (found == JpegHeaderLayout::Status::NeedMore) {
        if (!source.readAt(header.size(), wanted - header.size(), header))
            return nullptr;
        found = JpegHeaderLayout::find(header, splice->m_layout);
        if (found == JpegHeaderLayout::Status::NeedMore && (header.size() < wanted || wanted >= kLongestHeader)) {
            qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- its header ends with the file or is too long";
            return nullptr;
        }
        wanted *= 2;
    }
    if (found != JpegHeaderLayout::Status::Found) {
        qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- no JPEG header that can be split off";
        return nullptr;
    }
    const qsizetype stubEnd = splice->m_layout.headerEnd + kLookAhead;
    if (source.size() < stubEnd) {
        qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- too little image data after its header";
        return nullptr;
    }
    // A trailer after the image moves with the header, or loses its IPTC data in
    // a clear: that needs its bytes, and the restore of a file whose end changed
    // needs the whole file.
    QByteArray end;
    const qint64 endAt = std::max<qint64>(stubEnd, source.size() - kTrailerFooters);
    if (!source.readAt(endAt, qsizetype(source.size() - endAt), end))
        return nullptr;
    if (JpegTrailer::endsWithOne(end)) {
        qCDebug(lcMetadata).noquote() << "Read whole:" << path << "- a trailer follows its image";
        return nullptr;
    }
    if (header.size() < stubEnd
        && (!source.readAt(header.size(), stubEnd - header.size(), header) || header.size() < stubEnd))
        return nullptr;
    header.truncate(stubEnd);
    header.append("\xFF\xD9", 2);
    splice->m_stub = std::move(header);
    return splice;
}

std::optional<QByteArrayView> JpegSplice::headerOf(QByteArrayView edited) const
{
    const QByteArrayView tail = QByteArrayView(m_stub).sliced(m_layout.scanStart);
    if (edited.size() < tail.size() || edited.last(tail.size()) != tail)
        return std::nullopt;
    return edited.first(edited.size() - tail.size());
}

std::optional<QString> JpegSplice::writeTo(int fd, QByteArrayView header) const
{
    if (const int error = FileReplacer::writeAll(fd, header))
        return FileReplacer::errorText(error);
    return m_file->copyTo(fd, m_layout.scanStart);
}

void JpegSplice::setEnabledForTesting(bool on)
{
    enabled.store(on, std::memory_order_relaxed);
}
