#include "batch/run/PhotosKeepingNoIptc.h"

#include "services/WriterFixtures.h"
#include "batch/intake/PhotoIntake.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

using F = MetadataField;

std::shared_ptr<PhotoFile> tickedSample(const QString& name, bool ticked = true)
{
    auto photo = std::make_shared<PhotoFile>(photoAt(QDir(samplesDir()).filePath(name)));
    photo->isSelected = ticked;
    return photo;
}

} // namespace

// The photos the run asks about are exactly those the writer would refuse for their
// IPTC fields: an edit that sets an IPTC field, in a photo whose kind keeps no IPTC
// data (HEIF containers, WebP). Exif edits, erasing, "Leave Blank" and cleaning IPTC
// are no such edit, and a PNG keeps IPTC data.
TEST(PhotosKeepingNoIptc, areThoseTheWriterRefusesForTheirIptcFields)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    const QList<std::shared_ptr<PhotoFile>> batch { tickedSample(u"camera/Canon_40D.jpg"_s),
        tickedSample(u"heif/IMG_3578.heic"_s), tickedSample(u"makers/PNG.png"_s),
        tickedSample(u"heif/avif_metadata2.avif"_s), tickedSample(u"heif/Sony.HIF"_s, false),
        tickedSample(u"makers/RIFF.webp"_s) };

    struct Case {
        const char* name;
        std::function<void(MetaDataObject&)> settings;
        bool refused;
    };
    const Case cases[] = {
        { "a headline", [](MetaDataObject& s) { edit(s, { { F::IPTC_Headline, u"Harbour"_s } }); }, true },
        { "keywords beside an artist",
            [](MetaDataObject& s) { edit(s, { { F::Artist, u"Zoë"_s }, { F::IPTC_Keywords, u"sea, dawn"_s } }); },
            true },
        { "an artist alone", [](MetaDataObject& s) { edit(s, { { F::Artist, u"Zoë"_s } }); }, false },
        { "an artist, the rest cleared",
            [](MetaDataObject& s) {
                s.editingOption = MetaDataObject::ModifyEditedClearOthers;
                edit(s, { { F::Artist, u"Zoë"_s } });
            },
            false },
        { "an emptied headline", [](MetaDataObject& s) { edit(s, { { F::IPTC_Headline, QString() } }); }, false },
        { "Leave Blank",
            [](MetaDataObject& s) { edit(s, { { F::IPTC_CountryPrimaryLocationCode, u"Leave Blank"_s } }); }, false },
        { "IPTC cleaned",
            [](MetaDataObject& s) {
                s.editingOption = MetaDataObject::CleanMetadataInfo;
                s.clearIPTC = true;
                edit(s, { { F::IPTC_Headline, u"Harbour"_s } });
            },
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MetaDataObject settings;
        c.settings(settings);
        const PhotosKeepingNoIptc found = PhotosKeepingNoIptc::among(batch, settings);
        EXPECT_EQ(found.ticked, 5);
        EXPECT_EQ(found.count, c.refused ? 3 : 0);
        EXPECT_EQ(found.kindsText(), c.refused ? u"HEIC, AVIF and WEBP"_s : QString());
        EXPECT_FALSE(found.all());

        // The writer agrees, through exiftool (HEIC) and through exiv2 (WebP): the
        // photo is refused for its IPTC fields exactly then.
        for (const qsizetype index : { 1, 5 }) {
            PhotoFile photo = *batch[index];
            const QString output = out.filePath(QFileInfo(photo.filePath).fileName());
            const MetadataWriteResult result = writePhoto(photo, settings, output);
            EXPECT_EQ(result.errorMsg.contains(u"keeps no IPTC data"_s), c.refused) << qPrintable(result.errorMsg);
            QFile::remove(output);
        }
    }

    // With only such photos ticked, the run would change none of them.
    batch[0]->isSelected = false;
    batch[2]->isSelected = false;
    batch[5]->isSelected = false;
    MetaDataObject headline;
    edit(headline, { { F::IPTC_Headline, u"Harbour"_s } });
    EXPECT_TRUE(PhotosKeepingNoIptc::among(batch, headline).all());
}

// The check reads what the intake noted of each photo's kind, and opens no file:
// with the files gone after intake the answer stays. The kinds are named by content,
// so a WebP under a PNG's name is no "PNG" and a camera's ".HIF" is its brand's HEIC.
TEST(PhotosKeepingNoIptc, goesByTheKindNotedAtIntakeAndOpensNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<std::shared_ptr<PhotoFile>> batch;
    for (const auto& [sample, name] : { std::pair { "makers/RIFF.webp", "webp.png" }, { "heif/Canon.HIF", "Canon.HIF" },
             { "makers/QuickTime.heic", "QuickTime.heic" }, { "heif/avif_exif_xmp.avif", "a.avif" },
             { "camera/Canon_40D.jpg", "Canon_40D.jpg" } }) {
        const QString path = dir.filePath(QLatin1StringView(name));
        ASSERT_TRUE(QFile::copy(QDir(samplesDir()).filePath(QLatin1StringView(sample)), path)) << name;
        batch.append(PhotoIntake::readPhotoFile(path));
        batch.last()->isSelected = true;
        ASSERT_TRUE(QFile::remove(path));
    }
    MetaDataObject headline;
    edit(headline, { { F::IPTC_Headline, u"Harbour"_s } });
    const PhotosKeepingNoIptc found = PhotosKeepingNoIptc::among(batch, headline);
    EXPECT_EQ(found.count, 4);
    EXPECT_EQ(found.kindsText(), u"WEBP, HEIC and AVIF"_s);

    // A base media file's brands name it; the general image brand alone gives "HEIF".
    EXPECT_EQ(ExifWriter::kindOf(fileBytes(QDir(samplesDir()).filePath(u"heif/Canon-R6-pruned.CR3"_s))).name, u"CR3"_s);
    const QByteArray imageBrandOnly = QByteArray::fromHex("00000014667479706d69663100000000") + "mif1";
    EXPECT_EQ(ExifWriter::kindOf(imageBrandOnly), (PhotoKind { false, u"HEIF"_s }));
    EXPECT_EQ(ExifWriter::kindOf(fileBytes(QDir(samplesDir()).filePath(u"makers/PNG.png"_s))), PhotoKind {});
}
