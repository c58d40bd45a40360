#include "batch/run/PhotosKeepingNoIptc.h"

#include "Helper/WriterFixtures.h"
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
