#include "platform/ImageDataLayout.h"
#include "platform/JpegTrailer.h"
#include "services/WriterFixtures.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A JPEG's trailers after its image come through every write: moved with the
// header that grew, and without their IPTC data where a clean removes IPTC.

namespace {

using namespace Qt::Literals::StringLiterals;

std::vector<JpegTrailer::Trailer> trailersIn(const QString& path)
{
    const QByteArray file = fileBytes(path);
    return JpegTrailer::trailersOf(file, ImageDataLayout::jpegScanStart(file).value_or(file.size()));
}

int iptcValuesIn(const std::vector<JpegTrailer::Trailer>& trailers)
{
    int count = 0;
    for (const JpegTrailer::Trailer& trailer : trailers)
        for (const JpegTrailer::Entry& entry : trailer.entries)
            count += entry.holdsIptc ? 1 : 0;
    return count;
}

QString copyOf(const QTemporaryDir& dir, const QString& name)
{
    const QString copy = dir.filePath(name);
    QFile::copy(samplesDir() + u"/makers/"_s + name, copy);
    QFile(copy).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return copy;
}

MetadataWriteResult cleanIptcOf(const QString& path)
{
    PhotoFile photo = photoAt(path);
    MetaDataObject settings;
    settings.editingOption = MetaDataObject::CleanMetadataInfo;
    settings.clearIPTC = true;
    return writePhoto(photo, settings, path);
}

} // namespace

TEST(ExifWriterTrailers, cleaningIptcTakesItOutOfEveryTrailerAndKeepsTheirOtherValues)
{
    QTemporaryDir dir;
    for (const QString& name : { u"AFCP.jpg"_s, u"FotoStation.jpg"_s }) {
        SCOPED_TRACE(qPrintable(name));
        const QString path = copyOf(dir, name);
        const QByteArray before = fileBytes(path);
        ASSERT_GT(iptcValuesIn(trailersIn(path)), 0);
        const MetadataWriteResult result = cleanIptcOf(path);
        EXPECT_EQ(result.errorFlag, MetadataWriteResult::Processed);
        EXPECT_TRUE(result.warnings.isEmpty());
        const auto after = trailersIn(path);
        ASSERT_EQ(after.size(), 1U);
        EXPECT_EQ(iptcValuesIn(after), 0);
        EXPECT_EQ(after[0].entries.size(), 1U) << "the values beside the IPTC data stay";
        EXPECT_EQ(after[0].start, after[0].statedStart);
        EXPECT_EQ(ImageDataLayout::compare(before, fileBytes(path)).outcome, ImageDataLayout::Comparison::Same);
    }
}

TEST(ExifWriterTrailers, anAfcpTrailerMovesWithAGrownHeaderInPlaceAndToAFolder)
{
    QTemporaryDir dir;
    const QString path = copyOf(dir, u"AFCP.jpg"_s);
    const QString output = dir.filePath(u"out.jpg"_s);
    for (const QString& target : { output, path }) {
        SCOPED_TRACE(qPrintable(target));
        PhotoFile photo = photoAt(path);
        MetaDataObject settings;
        edit(settings, { { MetadataField::Artist, u"Someone Else"_s } });
        EXPECT_EQ(writePhoto(photo, settings, target).errorFlag, MetadataWriteResult::Processed);
        const auto after = trailersIn(target);
        ASSERT_EQ(after.size(), 1U);
        EXPECT_GT(after[0].start, 0x00fb) << "the header grew";
        EXPECT_EQ(after[0].start, after[0].statedStart);
        EXPECT_EQ(iptcValuesIn(after), 1) << "an edit that is no clean keeps the trailer's IPTC data";
    }
}

TEST(ExifWriterTrailers, aCleanThatCannotReadATrailerOfIptcDataIsWrittenWithAWarning)
{
    QTemporaryDir dir;
    const QString path = copyOf(dir, u"AFCP.jpg"_s);
    QByteArray damaged = fileBytes(path);
    const qsizetype start = trailersIn(path).at(0).start;
    damaged[start + 24 + 8] = '\x7f'; // the offset of the entry after the IPTC one far past the file
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
    file.close();
    const MetadataWriteResult result = cleanIptcOf(path);
    EXPECT_EQ(result.errorFlag, MetadataWriteResult::Processed);
    EXPECT_EQ(result.warnings,
        QStringList {
            u"The IPTC data in the photo's AFCP trailer could not be removed: its directory cannot be read."_s });
    EXPECT_TRUE(fileBytes(path).endsWith(damaged.sliced(start))) << "the trailer is kept as it was";
}
