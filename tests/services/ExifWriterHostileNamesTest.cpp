#include "services/WriterFixtures.h"
#include "platform/ExifToolProcess.h"
#include "platform/UndecodableFileName.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

using F = MetadataField;

// Every file under folder, hidden ones too, with its bytes: any change shows.
QByteArray folderDigest(const QString& folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& path : paths) {
        hash.addData(QFile::encodeName(path));
        hash.addData(fileBytes(path));
    }
    return hash.result().toHex();
}

class CurrentFolder {
public:
    explicit CurrentFolder(const QString& folder)
        : m_before(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~CurrentFolder() { QDir::setCurrent(m_before); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    QString m_before;
};

} // namespace

// Names made to steer the exiftool helper (line breaks and tabs that once ended a
// request and began another, words of its protocols, a leading "-", exiftool's
// name patterns) are written like any other name, in place and into another
// folder, and nothing outside the batch changes: neither the folder beside it nor
// the current folder, where the relative names of the injected request pointed.
TEST(ExifWriterExifTool, aPhotosNameNeverSteersExiftool)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* folder : { "batch", "out", "sibling" })
        QDir(dir.path()).mkdir(QLatin1StringView(folder));
    const QString sibling = dir.filePath(u"sibling"_s);
    for (const char* name : { "in.txt", "victim.txt", "err.txt" }) {
        QFile file(QDir(sibling).filePath(QLatin1StringView(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept\n");
    }
    QFile::copy(QDir(samplesDir()).filePath(u"makers/Canon.jpg"_s), QDir(sibling).filePath(u"q.jpg"_s));
    const QByteArray siblingBefore = folderDigest(sibling);
    const CurrentFolder current(sibling);
    // exiftool starts afresh here, so that a relative name it were steered to
    // would land in the folder watched.
    ExifToolProcess::endAll();

    const QStringList names { u"p\nS\tin.txt\tvictim.txt\terr.txt\tq.heic"_s, u"p\nS 1 4\n6\nin.txt\n.heic"_s,
        u"a\rb.heic"_s, u"t\tab.heic"_s, u"-execute.heic"_s, u"-o.heic"_s, u"-@.heic"_s, u" lead and trail .heic"_s,
        u"#[CSTR]x.heic"_s, u"%d%f%e.heic"_s, u"$HOME@x.heic"_s, u"{ready1000}\n.heic"_s, u"-tagsFromFile.heic"_s };
    const QString heic = QDir(samplesDir()).filePath(u"heif/IMG_3578.heic"_s);
    for (const QString& name : names) {
        SCOPED_TRACE(qPrintable(QString(name).replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s)));
        const QString source = dir.filePath(u"batch/"_s + name);
        ASSERT_TRUE(QFile::copy(heic, source));
        QFile(source).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        for (const QString& output : { dir.filePath(u"out/"_s + name), source }) {
            PhotoFile photo = photoAt(source);
            MetaDataObject settings;
            edit(settings, { { F::Artist, u"Zoë"_s } });
            const MetadataWriteResult result = writePhoto(photo, settings, output);
            ASSERT_EQ(result.errorFlag, 0) << qPrintable(result.errorMsg);
            EXPECT_EQ(readBack(output)->Artist(), u"Zoë"_s);
        }
    }
    EXPECT_EQ(QDir(dir.filePath(u"batch"_s)).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    EXPECT_EQ(QDir(dir.filePath(u"out"_s)).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    EXPECT_EQ(folderDigest(sibling).toStdString(), siblingBefore.toStdString());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

// A name that is no valid UTF-8 is refused with its own words; a value that no
// argument line of exiftool carries unchanged ("$" and "@" beside a line break)
// reaches the photo whole.
TEST(ExifWriterExifTool, undecodableNamesAreRefusedAndAwkwardValuesWrittenWhole)
{
    if (!hasExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray heicBytes = fileBytes(QDir(samplesDir()).filePath(u"heif/IMG_3578.heic"_s));
    const QByteArray badName = QFile::encodeName(dir.path()) + "/bad\xff\xfe.heic";
    const int fd = ::open(badName.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, heicBytes.constData(), size_t(heicBytes.size())), heicBytes.size());
    ::close(fd);
    const QString undecodable = QFile::decodeName(badName);
    PhotoFile refused = photoAt(undecodable);
    MetaDataObject settings;
    edit(settings, { { F::Artist, u"Zoë"_s } });
    const MetadataWriteResult result = writePhoto(refused, settings, undecodable);
    EXPECT_NE(result.errorFlag, 0);
    EXPECT_EQ(result.errorMsg, undecodableFileNameMessage(undecodable));

    const QString photo = dir.filePath(u"good.heic"_s);
    ASSERT_TRUE(QFile::copy(QDir(samplesDir()).filePath(u"heif/IMG_3578.heic"_s), photo));
    QFile(photo).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    PhotoFile written = photoAt(photo);
    MetaDataObject awkward;
    edit(awkward, { { F::Artist, u"costs $5\n@home"_s }, { F::Copyright, u"- lead = \\$x"_s } });
    const MetadataWriteResult done = writePhoto(written, awkward, photo);
    ASSERT_EQ(done.errorFlag, 0) << qPrintable(done.errorMsg);
    EXPECT_EQ(readBack(photo)->Artist(), u"costs $5\n@home"_s);
    EXPECT_EQ(readBack(photo)->Copyright(), u"- lead = \\$x"_s);
}
