#include "services/ExifBlockRewrite.h"
#include "services/WriterFixtures.h"
#include "platform/MakerNoteLayout.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using F = MetadataField;

// Where a maker note lies in a photo's Exif block, and its bytes.
struct NoteBytes {
    std::uint32_t offset = 0;
    QByteArray bytes;
};

NoteBytes makerNoteOf(const QByteArray& photo)
{
    const std::optional<QByteArrayView> block = JpegExifSegment::exifBlockOf(photo);
    const std::optional<TiffBlock> tiff = block ? TiffBlock::parse(*block) : std::nullopt;
    const std::optional<MakerNoteLayout> note = tiff ? MakerNoteLayout::of(*block, *tiff) : std::nullopt;
    if (!note)
        return {};
    return { note->start, block->sliced(note->start, note->size).toByteArray() };
}

// The writer with exiv2 laying the Exif block out itself, as it did before the
// block was edited in place.
class ScopedExiv2Layout {
public:
    ScopedExiv2Layout() { setExifBlockEditingEnabledForTesting(false); }
    ~ScopedExiv2Layout() { setExifBlockEditingEnabledForTesting(true); }
    ScopedExiv2Layout(const ScopedExiv2Layout&) = delete;
    ScopedExiv2Layout& operator=(const ScopedExiv2Layout&) = delete;
};

class ExifWriterMakerNote : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString copyOf(const QString& sample)
    {
        const QString copy = m_dir.filePath(QFileInfo(sample).fileName());
        QFile::remove(copy);
        QFile::copy(QDir(samplesDir()).filePath(sample), copy);
        QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return copy;
    }
    MetadataWriteResult writeArtist(const QString& path, int mode = MetaDataObject::OnlyModifyEditedFields)
    {
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        settings.editingOption = mode;
        edit(settings, { { F::Artist, "Someone" }, { F::Copyright, "(c) Someone" } });
        return writePhoto(photo, settings, path);
    }

    QTemporaryDir m_dir;
};

} // namespace

// Sanyo's maker note, which exiv2 keeps as one opaque block, addresses its values
// from the TIFF header. exiv2's own layout moves the block, so the values point at
// other bytes while the block itself compares equal: only the byte check sees it.
TEST_F(ExifWriterMakerNote, anOpaqueNoteWhoseValuesExiv2WouldMoveIsRefusedAndKeptInPlace)
{
    const QString path = copyOf("makers/Sanyo.jpg");
    const QByteArray before = fileBytes(path);
    {
        ScopedExiv2Layout exiv2Layout;
        const MetadataWriteResult refused = writeArtist(path);
        EXPECT_EQ(refused.errorFlag, MetadataWriteResult::WriteFailed);
        EXPECT_EQ(refused.errorMsg, "The maker note could not be kept, so the photo was not changed.");
        EXPECT_EQ(fileBytes(path), before);
    }
    EXPECT_EQ(writeArtist(path), (MetadataWriteResult { 0, "Processed Successfully" }));
    const NoteBytes was = makerNoteOf(before);
    const NoteBytes is = makerNoteOf(fileBytes(path));
    ASSERT_FALSE(was.bytes.isEmpty());
    EXPECT_EQ(is.offset, was.offset);
    EXPECT_TRUE(is.bytes == was.bytes);
    EXPECT_EQ(readBack(path)->Artist(), "Someone");
    EXPECT_EQ(
        makerNoteDifference(*JpegExifSegment::exifBlockOf(before), *JpegExifSegment::exifBlockOf(fileBytes(path))),
        std::nullopt);
}

// A Canon maker note that an earlier editor moved ends in a trailer naming its
// original offset; it stays, with every byte of the note, and exiftool reads the
// note's values as before.
TEST_F(ExifWriterMakerNote, aCanonNoteWithItsTrailerIsKeptAndReadAsBefore)
{
    const QString path = copyOf("makers/Canon1DmkIII.jpg");
    const QByteArray before = fileBytes(path);
    const NoteBytes was = makerNoteOf(before);
    ASSERT_GE(was.bytes.size(), 8);
    ASSERT_TRUE(was.bytes.right(8).startsWith(QByteArray("II*\0", 4)));
    {
        ScopedExiv2Layout exiv2Layout;
        EXPECT_EQ(writeArtist(path).errorFlag, MetadataWriteResult::WriteFailed);
    }
    EXPECT_EQ(writeArtist(path), (MetadataWriteResult { 0, "Processed Successfully" }));
    const NoteBytes is = makerNoteOf(fileBytes(path));
    EXPECT_EQ(is.offset, was.offset);
    EXPECT_TRUE(is.bytes == was.bytes);
    if (!hasExiftool())
        return;
    const QStringList arguments { "-s", "-s", "-s", "-Canon:FirmwareVersion", "-Canon:SerialNumber" };
    EXPECT_EQ(runExiftool(arguments + QStringList { path }),
        runExiftool(arguments + QStringList { QDir(samplesDir()).filePath("makers/Canon1DmkIII.jpg") }));
}

// Mode 1 clears the make, after which exiv2 no longer decodes the maker note; the
// note's bytes stay and the photo is written. Clean Exif removes the note.
TEST_F(ExifWriterMakerNote, clearingTheMakeKeepsTheNotesBytesAndCleanExifRemovesThem)
{
    const QString path = copyOf("camera/Canon_DIGITAL_IXUS_400.jpg");
    const NoteBytes was = makerNoteOf(fileBytes(path));
    ASSERT_FALSE(was.bytes.isEmpty());
    EXPECT_EQ(writeArtist(path, MetaDataObject::ModifyEditedClearOthers).errorFlag, 0);
    EXPECT_TRUE(readBack(path)->Cam_Make().isEmpty());
    EXPECT_TRUE(makerNoteOf(fileBytes(path)).bytes == was.bytes);

    PhotoFile photo = photoAt(path);
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearExif = true;
    EXPECT_EQ(writePhoto(photo, settings, path).errorFlag, 0);
    const QByteArray cleaned = fileBytes(path);
    EXPECT_TRUE(makerNoteOf(cleaned).bytes.isEmpty());
    EXPECT_EQ(cleaned.indexOf(was.bytes.left(64)), -1) << "the note's bytes are gone";
}
