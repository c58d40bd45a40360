#include "platform/TiffBlockPatcher.h"

#include "platform/MakerNoteLayout.h"

#include <gtest/gtest.h>

namespace {

// A little-endian TIFF block made by hand: IFD0 with Make and a pointer to an
// Exif directory holding a maker note. The note is a directory of one entry
// whose eight-byte value lies outside the note and is addressed from the TIFF
// header, as Sanyo's are.
class BlockBuilder {
public:
    QByteArray bytes;

    void u16(std::uint32_t at, std::uint16_t value)
    {
        grow(at + 2);
        bytes[at] = char(value);
        bytes[at + 1] = char(value >> 8);
    }
    void u32(std::uint32_t at, std::uint32_t value)
    {
        grow(at + 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(value >> (8 * i));
    }
    void entry(std::uint32_t at, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value)
    {
        u16(at, tag);
        u16(at + 2, type);
        u32(at + 4, count);
        u32(at + 8, value);
    }
    void text(std::uint32_t at, const QByteArray& value)
    {
        grow(at + std::uint32_t(value.size()));
        bytes.replace(at, value.size(), value);
    }

private:
    void grow(std::uint32_t size)
    {
        if (bytes.size() < qsizetype(size))
            bytes.append(qsizetype(size) - bytes.size(), '\0');
    }
};

constexpr std::uint32_t kMake = 0x40;
constexpr std::uint32_t kExif = 0x50;
constexpr std::uint32_t kNote = 0x70;
constexpr std::uint32_t kNoteValue = 0xa0;

QByteArray sampleBlock()
{
    BlockBuilder b;
    b.text(0, QByteArray("II*\0", 4));
    b.u32(4, 8);
    b.u16(8, 2);
    b.entry(10, 0x010f, 2, 8, kMake);
    b.entry(22, TiffBlock::kExifPointer, 4, 1, kExif);
    b.u32(34, 0);
    b.text(kMake, QByteArray("Maker X\0", 8));
    b.u16(kExif, 1);
    b.entry(kExif + 2, TiffBlock::kMakerNote, 7, 18, kNote);
    b.u32(kExif + 14, 0);
    b.u16(kNote, 1);
    b.entry(kNote + 2, 0x0001, 5, 1, kNoteValue);
    b.text(kNoteValue, QByteArray("\x11\x22\x33\x44\x55\x66\x77\x88", 8));
    return b.bytes;
}

TiffBlockPatcher::Value ascii(const QByteArray& text)
{
    return { 2, std::uint32_t(text.size()), text };
}

} // namespace

TEST(TiffBlockPatcher, anAddedTagMovesNoExistingByteButIfd0AndKeepsTheMakerNote)
{
    const QByteArray block = sampleBlock();
    TiffBlockPatcher::Edit edit;
    edit.tags[TiffBlock::Ifd0][0x013b].push_back(ascii(QByteArray("Someone\0", 8)));
    const std::optional<QByteArray> patched = TiffBlockPatcher::patched(block, edit, 0xffff);
    ASSERT_TRUE(patched);
    // Beyond the header and the old IFD0 every byte is where it was.
    EXPECT_EQ(patched->sliced(kMake), block.sliced(kMake) + patched->sliced(block.size()));
    const std::optional<TiffBlock> tiff = TiffBlock::parse(*patched);
    ASSERT_TRUE(tiff);
    ASSERT_NE(tiff->find(TiffBlock::Ifd0, 0x013b), nullptr);
    EXPECT_EQ(patched->sliced(tiff->find(TiffBlock::Ifd0, 0x013b)->valueOffset, 8), QByteArray("Someone\0", 8));
    EXPECT_EQ(tiff->ifd(TiffBlock::Exif).offset, kExif);
    EXPECT_EQ(makerNoteDifference(block, *patched), std::nullopt);
}

TEST(TiffBlockPatcher, aRemovedValueIsZeroedAndAMissingDirectoryIsMade)
{
    const QByteArray block = sampleBlock();
    TiffBlockPatcher::Edit edit;
    edit.tags[TiffBlock::Ifd0][0x010f];
    edit.tags[TiffBlock::Gps][0x0001].push_back(ascii(QByteArray("N\0", 2)));
    const std::optional<QByteArray> patched = TiffBlockPatcher::patched(block, edit, 0xffff);
    ASSERT_TRUE(patched);
    EXPECT_EQ(patched->sliced(kMake, 8), QByteArray(8, '\0'));
    EXPECT_EQ(patched->indexOf("Maker X"), -1);
    const std::optional<TiffBlock> tiff = TiffBlock::parse(*patched);
    ASSERT_TRUE(tiff);
    EXPECT_EQ(tiff->find(TiffBlock::Ifd0, 0x010f), nullptr);
    ASSERT_TRUE(tiff->ifd(TiffBlock::Gps).present);
    EXPECT_NE(tiff->find(TiffBlock::Gps, 0x0001), nullptr);
    // The note's value outside the note stays.
    EXPECT_EQ(patched->sliced(kNoteValue, 8), block.sliced(kNoteValue, 8));
}

TEST(TiffBlockPatcher, removingTheMakerNoteZeroesItsBytes)
{
    const QByteArray block = sampleBlock();
    TiffBlockPatcher::Edit edit;
    edit.removesMakerNote = true;
    const std::optional<QByteArray> patched = TiffBlockPatcher::patched(block, edit, 0xffff);
    ASSERT_TRUE(patched);
    EXPECT_EQ(patched->sliced(kNote, 18), QByteArray(18, '\0'));
    const std::optional<TiffBlock> tiff = TiffBlock::parse(*patched);
    ASSERT_TRUE(tiff);
    EXPECT_FALSE(tiff->ifd(TiffBlock::Exif).present) << "an Exif directory left empty goes";
}

TEST(TiffBlockPatcher, aBlockThatCannotBeReadOrWouldNotFitIsNotPatched)
{
    TiffBlockPatcher::Edit edit;
    edit.tags[TiffBlock::Ifd0][0x013b].push_back(ascii(QByteArray("Someone\0", 8)));
    QByteArray loop = sampleBlock();
    BlockBuilder b { loop };
    b.u32(22 + 8, 8); // the Exif pointer leads back to IFD0
    EXPECT_FALSE(TiffBlockPatcher::patched(b.bytes, edit, 0xffff));
    QByteArray cut = sampleBlock().first(20);
    EXPECT_FALSE(TiffBlockPatcher::patched(cut, edit, 0xffff));
    EXPECT_FALSE(TiffBlockPatcher::patched(sampleBlock(), edit, std::uint64_t(sampleBlock().size())));
}

// A note that moves while its values are addressed from the TIFF header leaves
// them behind: the bytes at those offsets now belong to something else.
TEST(MakerNoteLayout, aMovedNoteWhoseValuesStayedBehindIsADifference)
{
    const QByteArray block = sampleBlock();
    BlockBuilder moved { block };
    const std::uint32_t newNote = 0xc0;
    moved.text(newNote, block.sliced(kNote, 18));
    moved.u32(kExif + 2 + 8, newNote);
    moved.text(kNoteValue, QByteArray(8, '\x7f'));
    EXPECT_TRUE(makerNoteDifference(block, moved.bytes));
    EXPECT_TRUE(makerNoteDifference(block, sampleBlock().first(kNote)));
    EXPECT_EQ(makerNoteDifference(block, block), std::nullopt);
}
