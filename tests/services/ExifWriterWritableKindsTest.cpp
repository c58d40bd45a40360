#include "services/WriterFixtures.h"
#include "batch/intake/PhotoAcceptance.h"
#include "batch/intake/PhotoIntake.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Why the intake refused the file, or nothing when it took it into the list.
std::optional<QString> intakeRefusal(const QString& path)
{
    try {
        PhotoIntake::readPhotoFile(path);
    } catch (const std::runtime_error& error) {
        return QString::fromStdString(error.what());
    }
    return std::nullopt;
}

} // namespace

// Files whose names the list accepts but whose content no writer of ours can
// write are refused when added, with the reason, and left as they were; a photo
// under another photo kind's name that a writer takes by its content still comes in.
TEST(ExifWriterWritableKinds, refusesAtIntakeWhatNoWriterCanWrite)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    const auto saved = [&](const char* name, const char* format) {
        const QString path = dir.filePath(QLatin1StringView(name));
        EXPECT_TRUE(image.save(path, format)) << name;
        return path;
    };
    const auto written = [&](const char* name, const QByteArray& content) {
        const QString path = dir.filePath(QLatin1StringView(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size()) << name;
        return path;
    };
    const QString noWriter = u"Its metadata cannot be written: Velloran writes no metadata into files of this kind."_s;
    const QByteArray codestream = QByteArray::fromHex("ff4fff51002f0000000000080000000800000000000000000000");
    const QList<std::pair<QString, QString>> refused {
        { saved("bitmap.pbm", "pbm"), noWriter }, // exiv2 throws while telling its kind
        { saved("grey.pgm", "pgm"), noWriter },
        { saved("any.pnm", "ppm"), noWriter },
        { saved("pixmap.xpm", "xpm"), noWriter },
        { saved("pointer.cur", "cur"), noWriter },
        { written("drawing.svg", "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"/>"), noWriter },
        { written("codestream.jpc", codestream), noWriter },
        { written("codestream.j2k", codestream), noWriter },
        { written("notes.jpg", "not a photo\n"), noWriter },
        { written("packet.jpg", "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/><?xpacket end=\"w\"?>"),
            noWriter },
        { written("empty.jpg", {}), u"Its metadata cannot be written: the file is empty."_s },
        { saved("png.jpg", "png"),
            u"Its metadata cannot be written: the file holds a PNG image but is named \".jpg\"; under the extension "
            u"of its kind (.png) it can be edited."_s },
    };
    PhotoAcceptance acceptance(u"ALL"_s);
    for (const auto& [path, reason] : refused) {
        ASSERT_EQ(acceptance.typeVerdict(path), PhotoVerdict::Accepted) << qPrintable(path);
        const QByteArray before = fileBytes(path);
        EXPECT_EQ(intakeRefusal(path), reason) << qPrintable(path);
        EXPECT_EQ(fileBytes(path), before) << qPrintable(path);
    }
    // A HEIC under a JPEG's name, which exiftool would not take.
    const QString heic = dir.filePath(u"phone.jpg"_s);
    ASSERT_TRUE(QFile::copy(QDir(samplesDir()).filePath(u"heif/IMG_3578.heic"_s), heic));
    EXPECT_TRUE(intakeRefusal(heic).value_or(QString()).contains(u"HEIC, HEIF, AVIF or CR3 image but is named \".jpg\""_s));

    for (const QString& path : { saved("jpeg.png", "jpeg"), saved("tiff.jpg", "tiff"), saved("upper.PNG", "png") })
        EXPECT_EQ(intakeRefusal(path), std::nullopt) << qPrintable(path);
}

// Every sample photo the list accepts by its name stays writable, whatever its
// kind; the one whose image data was cut away alone is refused.
TEST(ExifWriterWritableKinds, keepsEverySamplePhotoTheListAccepts)
{
    PhotoAcceptance acceptance(u"ALL"_s);
    int accepted = 0;
    for (QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        if (acceptance.typeVerdict(path) != PhotoVerdict::Accepted)
            continue;
        const std::optional<QString> why = ExifWriter::whyNotWritable(path);
        EXPECT_EQ(why.has_value(), path.endsWith(u"-pruned.CR3"_s)) << qPrintable(path) << " "
                                                                   << qPrintable(why.value_or(QString()));
        ++accepted;
    }
    EXPECT_GT(accepted, 100);
}
