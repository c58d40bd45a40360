#include "platform/JpegSplice.h"

#include "platform/FileRangeCopy.h"
#include "platform/FileReplacer.h"
#include "platform/JpegHeaderLayout.h"
#include "platform/RangeCopySeams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray segment(unsigned char marker, const QByteArray& data)
{
    const int length = int(data.size()) + 2;
    return QByteArray("\xff") + char(marker) + char(length >> 8) + char(length & 0xff) + data;
}

const QByteArray kStartOfScan = segment(0xDA, QByteArray("\x01\x01\x00\x00\x3f\x00", 6));

// Bytes that look like entropy-coded data: no marker but stuffed 0xFF 0x00 and restart markers.
QByteArray scanData(int size)
{
    QByteArray bytes;
    for (int i = 0; bytes.size() < size; ++i) {
        bytes += char(i * 37 + 11);
        if (i % 97 == 0)
            bytes += QByteArray("\xff\x00", 2);
        if (i % 1000 == 999)
            bytes += QByteArray("\xff\xd3", 2);
    }
    bytes.truncate(size);
    return bytes;
}

QByteArray header()
{
    return QByteArray("\xff\xd8", 2) + segment(0xE0, "JFIF\0") + segment(0xE1, QByteArray("Exif\0\0MM", 8))
        + segment(0xDB, QByteArray(65, '\x10')) + segment(0xC0, QByteArray(15, '\x01')) + kStartOfScan;
}

QByteArray photo(int scanSize = 100000)
{
    return header() + scanData(scanSize) + QByteArray("\xff\xd9", 2);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

JpegHeaderLayout::Status statusOf(const QByteArray& bytes)
{
    JpegHeaderLayout layout;
    return JpegHeaderLayout::find(bytes, layout);
}

// Writes the file's header (or new) and its image data through the replacer, as the writer does.
std::optional<QString> spliceInto(const JpegSplice& splice, const QString& target, QByteArrayView newHeader)
{
    FileReplacer::Options options;
    options.append = [&](int fd) { return splice.writeTo(fd, newHeader); };
    return FileReplacer::replace(target, {}, options);
}

} // namespace

TEST(JpegHeaderLayout, findsTheStartOfScanBehindTheSegmentsAndAsksForMoreWhileItIsCut)
{
    const QByteArray bytes = photo();
    JpegHeaderLayout layout;
    ASSERT_EQ(JpegHeaderLayout::find(bytes, layout), JpegHeaderLayout::Status::Found);
    EXPECT_EQ(layout.scanStart, header().size() - kStartOfScan.size());
    EXPECT_EQ(layout.headerEnd, header().size());

    // Fill bytes before a marker belong to the header; the scan starts at the marker's last 0xFF.
    const QByteArray filled = QByteArray("\xff\xd8\xff\xff", 4) + header().sliced(3);
    ASSERT_EQ(JpegHeaderLayout::find(filled, layout), JpegHeaderLayout::Status::Found);
    EXPECT_EQ(layout.headerEnd, header().size() + 1);

    for (const qsizetype cut : { 0, 1, 3, 20, int(header().size()) - 1 })
        EXPECT_EQ(statusOf(bytes.first(cut)), JpegHeaderLayout::Status::NeedMore) << cut;
}

TEST(JpegHeaderLayout, refusesEveryLayoutOnWhichItsWalkAndExiv2sCouldDiffer)
{
    const QByteArray soi("\xff\xd8", 2);
    const QByteArray app0 = segment(0xE0, "JFIF\0");
    EXPECT_EQ(statusOf("GIF89a and more bytes"), JpegHeaderLayout::Status::Unsuitable);
    // A restart marker, TEM, a second start of image, an end of image: no length of their own.
    for (const char* code : { "\xff\xd0", "\xff\x01", "\xff\xd8", "\xff\xd9", "\xff\x00" })
        EXPECT_EQ(statusOf(soi + app0 + QByteArray(code, 2) + kStartOfScan), JpegHeaderLayout::Status::Unsuitable);
    // Stray bytes between two segments, and a length below 2.
    EXPECT_EQ(statusOf(soi + app0 + "xy" + kStartOfScan), JpegHeaderLayout::Status::Unsuitable);
    EXPECT_EQ(statusOf(soi + QByteArray("\xff\xe0\x00\x01", 4) + kStartOfScan), JpegHeaderLayout::Status::Unsuitable);
}

TEST(FileRangeCopy, copiesARangeAndFallsBackToABufferWhereTheKernelRefuses)
{
    QTemporaryDir dir;
    const QByteArray bytes = scanData(600000);
    const int from = ::open(QFile::encodeName(writeFile(dir, "from", bytes)).constData(), O_RDONLY);
    ASSERT_GE(from, 0);
    for (const int error : { 0, EXDEV, EINVAL, ENOSYS, EOPNOTSUPP, -1 }) {
        std::optional<ScopedRefusedRangeCopy> refused;
        if (error)
            refused.emplace(error);
        const QString target = dir.filePath("to");
        const int to = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(FileReplacer::writeAll(to, "head"), 0);
        const FileRangeCopy::Result result = FileRangeCopy::copy(from, 1000, 500000, to);
        ::close(to);
        EXPECT_EQ(result.error, 0) << error;
        EXPECT_EQ(result.copied, 500000) << error;
        EXPECT_EQ(bytesOf(target), "head" + bytes.sliced(1000, 500000)) << error;
        if (error) {
            EXPECT_EQ(ScopedRefusedRangeCopy::calls(), 1) << "the buffer takes over for the rest";
        }
    }
    // A range past the end copies what there is; another failure is answered, not hidden.
    const int to = ::open(QFile::encodeName(dir.filePath("short")).constData(), O_WRONLY | O_CREAT, 0600);
    EXPECT_EQ(FileRangeCopy::copy(from, 599000, 5000, to).copied, 1000);
    {
        ScopedRefusedRangeCopy refused(EIO);
        EXPECT_EQ(FileRangeCopy::copy(from, 0, 5000, to).error, EIO);
    }
    ::close(to);
    ::close(from);
}

TEST(JpegSplice, givesExiv2TheHeaderAndWritesTheNewHeaderWithTheImageDataCopied)
{
    QTemporaryDir dir;
    const QByteArray bytes = photo() + "trailing bytes after the end";
    const QString path = writeFile(dir, "photo.jpg", bytes);
    const std::unique_ptr<JpegSplice> splice = JpegSplice::open(path);
    ASSERT_TRUE(splice);
    EXPECT_EQ(splice->fileSize(), bytes.size());
    const qsizetype stubEnd = header().size() + 64;
    EXPECT_EQ(splice->stub(), bytes.first(stubEnd) + QByteArray("\xff\xd9", 2));

    // An edit that changes the header and copies the rest, as exiv2 does.
    const QByteArray tail = splice->stub().sliced(splice->layout().scanStart).toByteArray();
    const QByteArray newHeader = QByteArray("\xff\xd8", 2) + segment(0xE1, QByteArray("Exif\0\0II and more", 17))
        + header().sliced(2, header().size() - 2 - kStartOfScan.size());
    EXPECT_EQ(splice->headerOf(newHeader + tail), QByteArrayView(newHeader));
    EXPECT_EQ(splice->headerOf(newHeader + tail.first(tail.size() - 1) + "x"), std::nullopt);
    EXPECT_EQ(splice->headerOf(tail.sliced(1)), std::nullopt);

    const QString target = dir.filePath("out.jpg");
    ASSERT_EQ(spliceInto(*splice, target, newHeader), std::nullopt);
    EXPECT_EQ(bytesOf(target), newHeader + bytes.sliced(splice->layout().scanStart));
}

TEST(JpegSplice, aFileThatChangesBeforeItsImageDataIsCopiedFailsTheWriteAndTheTargetStays)
{
    QTemporaryDir dir;
    const QByteArray bytes = photo();
    const QString path = writeFile(dir, "photo.jpg", bytes);
    const QString target = writeFile(dir, "out.jpg", "the earlier output");

    const std::function<void()> changes[] = {
        [&] { // grows
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("more");
        },
        [&] { // shrinks
            ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), bytes.size() - 1000), 0);
        },
        [&] { // same size, new content and a new modification time
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.seek(bytes.size() - 100);
            file.write("xxxx");
            file.close();
            const struct timespec times[2] = { { 0, UTIME_OMIT }, { 1000000000, 0 } };
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        },
    };
    for (const auto& change : changes) {
        ASSERT_TRUE(writeFile(dir, "photo.jpg", bytes).size());
        const std::unique_ptr<JpegSplice> splice = JpegSplice::open(path);
        ASSERT_TRUE(splice);
        ScopedBeforeCopy hook(change);
        const std::optional<QString> error = spliceInto(*splice, target, header());
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->contains("changed while it was being copied")) << error->toStdString();
        EXPECT_EQ(bytesOf(target), "the earlier output");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
}

TEST(JpegSplice, leavesFilesItCannotSplitToBeReadWhole)
{
    QTemporaryDir dir;
    const QByteArray bytes = photo();
    // Cut inside the header, too little image data behind it, no JPEG, no regular file, no file.
    EXPECT_FALSE(JpegSplice::open(writeFile(dir, "cut.jpg", bytes.first(header().size() - 3))));
    EXPECT_FALSE(JpegSplice::open(writeFile(dir, "short.jpg", header() + scanData(20))));
    EXPECT_FALSE(JpegSplice::open(writeFile(dir, "png.jpg", "\x89PNG\r\n\x1a\n" + scanData(1000))));
    EXPECT_FALSE(JpegSplice::open(dir.path()));
    const QString fifo = dir.filePath("fifo.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(JpegSplice::open(fifo));
    EXPECT_FALSE(JpegSplice::open(dir.filePath("missing.jpg")));
    // A trailer after the image (here FotoStation's footer) changes with the header.
    EXPECT_FALSE(
        JpegSplice::open(writeFile(dir, "trailer.jpg", bytes + QByteArray("\0\x01\0\0\0\x0a\xa1\xb2\xc3\xd4", 10))));

    // A header longer than the first read is read on until its end.
    const QByteArray longHeader = QByteArray("\xff\xd8", 2)
        + QByteArray(segment(0xE2, QByteArray(65000, 'i'))).repeated(3) + header().sliced(2);
    const std::unique_ptr<JpegSplice> splice = JpegSplice::open(writeFile(dir, "long.jpg", longHeader + scanData(100)));
    ASSERT_TRUE(splice);
    EXPECT_EQ(splice->layout().headerEnd, longHeader.size());

    JpegSplice::setEnabledForTesting(false);
    EXPECT_FALSE(JpegSplice::open(writeFile(dir, "photo.jpg", bytes)));
    JpegSplice::setEnabledForTesting(true);
    EXPECT_TRUE(JpegSplice::open(dir.filePath("photo.jpg")));
}
