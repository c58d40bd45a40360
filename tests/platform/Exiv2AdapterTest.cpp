#include "platform/Exiv2Adapter.h"

#include "platform/BmffLayout.h"
#include "platform/HeifFile.h"
#include "support/ImageFixtures.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray jpegBytes()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.write(ImageFixtures::quadrants(32, 24));
    return bytes;
}

} // namespace

TEST(Exiv2Adapter, turnsExiv2AndStandardExceptionsIntoOneWordingWithoutThrowing)
{
    const auto exiv2Failure = Exiv2Adapter::run(
        QStringLiteral("read metadata of"), QStringLiteral("/x.jpg"),
        [] { throw Exiv2::Error(Exiv2::kerInvalidKey, "Exif.Nothing.Here"); }, Exiv2Adapter::Severity::Debug);
    ASSERT_TRUE(exiv2Failure);
    EXPECT_TRUE(exiv2Failure->contains(QStringLiteral("Exif.Nothing.Here"))) << exiv2Failure->toStdString();

    // Damaged metadata can make exiv2 fail outside its own error type.
    const auto rangeFailure = Exiv2Adapter::run(
        QStringLiteral("read metadata of"), QStringLiteral("/x.jpg"),
        [] { throw std::out_of_range("  caf\xc3\xa9 out of range \n"); }, Exiv2Adapter::Severity::Debug);
    EXPECT_EQ(rangeFailure, QString::fromUtf8("caf\xc3\xa9 out of range"));

    const auto latin1Failure = Exiv2Adapter::run(
        QStringLiteral("read metadata of"), QStringLiteral("/x.jpg"), [] { throw std::runtime_error("caf\xe9"); },
        Exiv2Adapter::Severity::Debug);
    EXPECT_EQ(latin1Failure, QString::fromUtf8("caf\xc3\xa9"));

    EXPECT_FALSE(Exiv2Adapter::run(
        QStringLiteral("read"), QString(), [] {}, Exiv2Adapter::Severity::Debug));
    EXPECT_FALSE(Exiv2Adapter::check(QStringLiteral("read"), QString(), []() -> bool { throw std::bad_alloc(); }));
    EXPECT_TRUE(Exiv2Adapter::check(QStringLiteral("read"), QString(), [] { return true; }));
}

TEST(Exiv2Adapter, opensOnlyWhatExiv2CanRead)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.jpg"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a photo at all");
    file.close();
    EXPECT_EQ(Exiv2Adapter::openFile(text, text, Exiv2Adapter::Severity::Debug), nullptr);

    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    QFile jpeg(photo);
    ASSERT_TRUE(jpeg.open(QIODevice::WriteOnly));
    jpeg.write(jpegBytes());
    jpeg.close();
    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openFile(photo, photo);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelWidth(), 32);

    // The same for bytes in memory: a cut-off photo fails inside exiv2's parse.
    const QByteArray bytes = jpegBytes();
    EXPECT_EQ(Exiv2Adapter::openBuffer(QByteArray("not a photo at all"), QStringLiteral("read"),
                  QStringLiteral("memory"), Exiv2Adapter::Severity::Debug),
        nullptr);
    EXPECT_EQ(Exiv2Adapter::openBuffer(
                  bytes.first(40), QStringLiteral("read"), QStringLiteral("memory"), Exiv2Adapter::Severity::Debug),
        nullptr);
    const std::unique_ptr<Exiv2::Image> held
        = Exiv2Adapter::openBuffer(bytes, QStringLiteral("read"), QStringLiteral("memory"));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->pixelHeight(), 24);
}

TEST(Exiv2Adapter, editsInMemoryAndSavesOnlyAfterACompleteWrite)
{
    const QByteArray original = jpegBytes();
    QByteArray saved;
    const auto failure = Exiv2Adapter::editInMemory(
        original, QStringLiteral("memory"),
        [](Exiv2::Image& image) {
            image.exifData()["Exif.Image.Artist"] = "Ada";
            return true;
        },
        [&](QByteArrayView bytes) { saved = bytes.toByteArray(); });
    ASSERT_FALSE(failure) << failure->toStdString();
    const std::unique_ptr<Exiv2::Image> reread
        = Exiv2Adapter::openBuffer(saved, QStringLiteral("read"), QStringLiteral("memory"));
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->exifData()["Exif.Image.Artist"].toString(), "Ada");

    // An edit that fails halfway, one that declines and bytes exiv2 cannot read save nothing.
    bool savedAgain = false;
    const auto markSaved = [&](QByteArrayView) { savedAgain = true; };
    EXPECT_TRUE(Exiv2Adapter::editInMemory(
        original, QStringLiteral("memory"),
        [](Exiv2::Image& image) -> bool {
            image.exifData()["Exif.Image.Artist"] = "Ada";
            throw Exiv2::Error(Exiv2::kerInvalidKey, "Exif.Bad.Key");
        },
        markSaved));
    EXPECT_FALSE(Exiv2Adapter::editInMemory(
        original, QStringLiteral("memory"), [](Exiv2::Image&) { return false; }, markSaved));
    EXPECT_TRUE(Exiv2Adapter::editInMemory(
        QByteArray("garbage"), QStringLiteral("memory"), [](Exiv2::Image&) { return true; }, markSaved));
    EXPECT_FALSE(savedAgain);
}

// A read that may parse an XMP packet must hold the toolkit's lock; only reads
// that cannot go without it. Every sample photo whose read meets a packet (in an
// XMP segment, or as tag 700 in the Exif block) must be answered "may parse".
TEST(Exiv2Adapter, everyReadThatMeetsAnXmpPacketIsKnownToMayParseOne)
{
    QStringList photos;
    for (QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        photos.append(it.next());
    // exiv2 drops tag 700 from a JPEG it writes, so this one is put together by hand:
    // an Exif segment whose first IFD holds only the packet, before a plain JPEG.
    const QByteArray packet("<x:xmpmeta xmlns:x='adobe:ns:meta/'/>");
    QByteArray tiff("II*\0\x08\0\0\0\x01\0\xBC\x02\x01\0", 14);
    const auto little32 = [](quint32 v) {
        QByteArray bytes(4, '\0');
        qToLittleEndian(v, bytes.data());
        return bytes;
    };
    tiff += little32(quint32(packet.size())) + little32(26) + little32(0) + packet;
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const qsizetype length = exif.size() + 2;
    QByteArray withXmlPacket = QByteArray("\xFF\xD8\xFF\xE1", 4) + char(length >> 8) + char(length) + exif;
    withXmlPacket += jpegBytes().sliced(2);

    QList<QByteArray> contents { withXmlPacket, jpegBytes() };
    for (const QString& photo : photos) {
        QFile file(photo);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents.append(file.readAll());
    }
    int withoutLock = 0;
    for (qsizetype i = 0; i < contents.size(); ++i) {
        const QByteArray& bytes = contents[i];
        const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openBuffer(
            bytes, QStringLiteral("read"), QStringLiteral("memory"), Exiv2Adapter::Severity::Debug);
        if (!image)
            continue;
        const bool meetsPacket = !image->xmpPacket().empty()
            || image->exifData().findKey(Exiv2::ExifKey("Exif.Image.XMLPacket")) != image->exifData().end();
        if (meetsPacket) {
            EXPECT_TRUE(Exiv2Adapter::mayParseXmp(bytes)) << (i < 2 ? "made photo" : photos[i - 2].toStdString());
        }
        if (!Exiv2Adapter::mayParseXmp(bytes))
            ++withoutLock;
    }
    const std::unique_ptr<Exiv2::Image> made
        = Exiv2Adapter::openBuffer(contents[0], QStringLiteral("read"), QStringLiteral("memory"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->exifData()["Exif.Image.XMLPacket"].size(), packet.size());
    EXPECT_TRUE(Exiv2Adapter::mayParseXmp(contents[0]));
    EXPECT_FALSE(Exiv2Adapter::mayParseXmp(contents[1]));
    // The camera JPEGs without a packet (over 20 of the samples) go without the lock.
    EXPECT_GE(withoutLock, 20);
    EXPECT_TRUE(Exiv2Adapter::mayParseXmp(QByteArray("not a photo")));
    EXPECT_TRUE(Exiv2Adapter::mayParseXmp(contents[1].first(contents[1].size() / 10)));
}

TEST(HeifFile, aFileThatIsNoHeifOpensNothingAndDecodesNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.heic"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpegBytes());
    file.close();
    EXPECT_FALSE(HeifFile::hasHeifSignature(path));
    const HeifFile heif(path);
    EXPECT_FALSE(heif.isOpen());
    EXPECT_TRUE(heif.primarySize().isEmpty());
    EXPECT_TRUE(heif.decoded(QSize(96, 70)).isNull());
    EXPECT_FALSE(HeifFile(dir.filePath(QStringLiteral("missing.heic"))).isOpen());
}

TEST(HeifFile, measuresAndDecodesAHeicIntoTheBox)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.heic"));
    if (!ImageFixtures::writeHeic(ImageFixtures::quadrants(128, 64), path))
        GTEST_SKIP() << "no HEVC encoder";
    EXPECT_TRUE(HeifFile::hasHeifSignature(path));
    const HeifFile heif(path);
    ASSERT_TRUE(heif.isOpen());
    EXPECT_EQ(heif.primarySize(), QSize(128, 64));
    const QImage small = heif.decoded(QSize(32, 32));
    EXPECT_EQ(small.size(), QSize(32, 16));
    EXPECT_EQ(heif.decoded(QSize(1000, 1000)).size(), QSize(128, 64));
}

namespace {

std::map<std::string, std::string> xmpOf(const Exiv2::Image& image)
{
    std::map<std::string, std::string> values;
    for (const Exiv2::Xmpdatum& datum : image.xmpData())
        values[datum.key()] = datum.toString();
    return values;
}

std::map<std::string, std::string> exifOf(const Exiv2::Image& image)
{
    std::map<std::string, std::string> values;
    for (const Exiv2::Exifdatum& datum : image.exifData())
        values[datum.key()] = datum.toString();
    return values;
}

} // namespace

// A gain map's own XMP is not the photo's, whichever packet the file lists first;
// a photo whose primary image has none reads without XMP.
TEST(Exiv2Adapter, readsTheXmpOfAHeicsPrimaryImageAlone)
{
    QTemporaryDir dir;
    const QByteArray rating = ImageFixtures::xmpPacket(u"xmp:Rating"_s, u"http://ns.adobe.com/xap/1.0/"_s, u"3"_s);
    const QByteArray gainMap = ImageFixtures::xmpPacket(
        u"HDRGainMap:HDRGainMapVersion"_s, u"http://ns.apple.com/HDRGainMap/1.0/"_s, u"65536"_s);
    for (const bool secondFirst : { false, true }) {
        SCOPED_TRACE(secondFirst);
        const QString path = dir.filePath(QStringLiteral("hdr%1.heic").arg(secondFirst));
        if (!ImageFixtures::writeHeicWithSecondImage(path, rating, gainMap, secondFirst))
            GTEST_SKIP() << "no HEVC encoder";
        const auto image = Exiv2Adapter::openFile(path, path);
        ASSERT_TRUE(image);
        EXPECT_EQ(xmpOf(*image), (std::map<std::string, std::string> { { "Xmp.xmp.Rating", "3" } }));
    }
    const QString bare = dir.filePath(QStringLiteral("bare.heic"));
    ASSERT_TRUE(ImageFixtures::writeHeicWithSecondImage(bare, {}, gainMap, true));
    const auto image = Exiv2Adapter::openFile(bare, bare);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->xmpData().empty());
}

// A CR3 file that exiv2 trips over reads from Canon's boxes, as exiv2 reads a CR3
// file it takes whole: the same Exif data and maker note, and the XMP packet.
TEST(Exiv2Adapter, readsACr3FilesMetadataFromCanonsBoxes)
{
    const QString trips = QDir(samplesDir()).filePath(QStringLiteral("makers/CanonRaw.cr3"));
    const auto read = Exiv2Adapter::openFile(trips, trips);
    ASSERT_TRUE(read);
    const auto exif = exifOf(*read);
    EXPECT_EQ(exif.at("Exif.Image.Model"), "Canon EOS M50");
    EXPECT_EQ(exif.at("Exif.Photo.DateTimeOriginal"), "2018:02:21 12:08:56");
    EXPECT_TRUE(exif.count("Exif.GPSInfo.GPSVersionID"));
    EXPECT_TRUE(exif.count("Exif.CanonCs.Quality")) << "the maker note is decoded";
    EXPECT_EQ(xmpOf(*read), (std::map<std::string, std::string> { { "Xmp.xmp.Rating", "0" } }));

    // exiv2 takes this one whole; its boxes alone read the same.
    QFile whole(QDir(samplesDir()).filePath(QStringLiteral("heif/Canon-R6-pruned.CR3")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const auto byExiv2 = Exiv2Adapter::openBuffer(bytes, u"read"_s, whole.fileName());
    ASSERT_TRUE(byExiv2);
    const std::optional<QByteArray> boxes = BmffLayout::canonRawMetadataFile(bytes);
    ASSERT_TRUE(boxes);
    const auto byBoxes = Exiv2Adapter::openBuffer(*boxes, u"read"_s, whole.fileName());
    ASSERT_TRUE(byBoxes);
    EXPECT_GT(byExiv2->exifData().count(), 100);
    EXPECT_EQ(exifOf(*byBoxes), exifOf(*byExiv2));
    EXPECT_FALSE(BmffLayout::canonRawMetadataFile(bytes.first(bytes.size() / 40)));
}

TEST(Exiv2Adapter, aPacketThatDeclaresOtherPrefixesLeavesTheNextPacketsPrefixesStandard)
{
    // Older packets name http://ns.adobe.com/xap/1.0/ "xap"; exiv2 keeps the
    // prefixes of the last packet it parsed for everything it serialises after it.
    const QString older = samplesDir() + u"/xmp/BlueSquare.jpg"_s;
    const std::string declaring = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                                  "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
                                  "rdf:about='' xmlns:xapMM='http://ns.adobe.com/xap/1.0/mm/' "
                                  "xmlns:xap='http://ns.adobe.com/xap/1.0/'><xapMM:DocumentID>1</xapMM:DocumentID>"
                                  "<xap:Rating>2</xap:Rating></rdf:Description></rdf:RDF></x:xmpmeta>";
    const auto standard = [](const std::string& packet) {
        return packet.find(R"(xmlns:xmp="http://ns.adobe.com/xap/1.0/")") != std::string::npos
            && packet.find(R"(xmlns:xmpMM="http://ns.adobe.com/xap/1.0/mm/")") != std::string::npos
            && packet.find("xmlns:xap") == std::string::npos;
    };
    Exiv2::XmpData fresh;
    fresh["Xmp.xmp.CreateDate"] = "2020-01-02T03:04:05";
    fresh["Xmp.xmpMM.DocumentID"] = "id";

    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openFile(older, older);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->xmpPacket().find("xmlns:xap="), std::string::npos);
    std::string packet;
    ASSERT_EQ(Exiv2Adapter::encodeXmp(packet, fresh), 0);
    EXPECT_TRUE(standard(packet)) << packet;
    // The photo that declared the older prefix is written with the standard one too.
    ASSERT_EQ(Exiv2Adapter::encodeXmp(packet, image->xmpData()), 0);
    EXPECT_TRUE(standard(packet.substr(0, packet.find("xmpMM:DerivedFrom")))) << packet;

    Exiv2::XmpData parsed;
    ASSERT_EQ(Exiv2Adapter::decodeXmp(parsed, declaring), 0);
    ASSERT_EQ(Exiv2Adapter::encodeXmp(packet, fresh), 0);
    EXPECT_TRUE(standard(packet)) << packet;

    // The same through a write of a whole photo.
    ASSERT_EQ(Exiv2Adapter::decodeXmp(parsed, declaring), 0);
    QByteArray written;
    const auto failure = Exiv2Adapter::editInMemory(
        jpegBytes(), u"memory"_s,
        [&](Exiv2::Image& photo) {
            photo.setXmpData(fresh);
            return true;
        },
        [&](QByteArrayView bytes) { written = bytes.toByteArray(); });
    ASSERT_FALSE(failure.has_value());
    const qsizetype start = written.indexOf("<x:xmpmeta");
    ASSERT_GE(start, 0);
    EXPECT_TRUE(standard(written.sliced(start, written.indexOf("</x:xmpmeta>") - start).toStdString()));
}

TEST(Exiv2Adapter, aPacketThatGivesAStandardPrefixToAnotherNamespaceIsRefusedAndChangesNoOtherPhoto)
{
    // exiv2 would register xmpMM for the other namespace, for the whole process:
    // every later photo's xmpMM properties would be written into it.
    const std::string foreign = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                                "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
                                "rdf:about='' xmlns:xmpMM='http://example.com/other/'><xmpMM:Thing>1</xmpMM:Thing>"
                                "</rdf:Description></rdf:RDF></x:xmpmeta>";
    Exiv2::XmpData fresh;
    fresh["Xmp.xmpMM.DocumentID"] = "id";
    const auto standard = [&] {
        std::string packet;
        return Exiv2Adapter::encodeXmp(packet, fresh) == 0
            && packet.find(R"(xmlns:xmpMM="http://ns.adobe.com/xap/1.0/mm/")") != std::string::npos
            && packet.find("example.com") == std::string::npos;
    };

    Exiv2::XmpData parsed;
    EXPECT_EQ(Exiv2Adapter::decodeXmp(parsed, foreign), Exiv2Adapter::kForeignStandardPrefix);
    EXPECT_TRUE(parsed.empty());
    EXPECT_TRUE(standard());

    // A photo that holds such a packet cannot be read, and changes nothing either.
    QByteArray photo;
    ASSERT_FALSE(Exiv2Adapter::editInMemory(
        jpegBytes(), u"memory"_s,
        [&](Exiv2::Image& image) {
            image.setXmpPacket(foreign);
            image.writeXmpFromPacket(true);
            return true;
        },
        [&](QByteArrayView bytes) { photo = bytes.toByteArray(); })
            .has_value());
    ASSERT_TRUE(photo.contains("example.com/other"));
    EXPECT_EQ(Exiv2Adapter::openBuffer(photo, u"read"_s, u"memory"_s, Exiv2Adapter::Severity::Debug), nullptr);
    EXPECT_TRUE(standard());
    // The standard prefix still reads as its own namespace.
    ASSERT_EQ(Exiv2Adapter::decodeXmp(parsed,
                  "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
                  "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
                  "xmlns:xmpMM='http://ns.adobe.com/xap/1.0/mm/'><xmpMM:DocumentID>d</xmpMM:DocumentID>"
                  "</rdf:Description></rdf:RDF></x:xmpmeta>"),
        0);
    EXPECT_EQ(parsed["Xmp.xmpMM.DocumentID"].toString(), "d");
}
