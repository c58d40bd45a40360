#include "services/WriterFixtures.h"
#include "platform/Exiv2Adapter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using F = MetadataField;

// Every text field of the record, one per line.
QString recordText(const MetaDataObject& record)
{
    QString text;
    for (const MetadataFieldInfo& info : kMetadataFields)
        text += QString::fromLatin1(info.name) + u'=' + record.field(info.field) + u'\n';
    return text;
}

// Every XMP datum of the file as exiv2 reads it, one per line.
QString xmpText(const QString& path)
{
    const std::unique_ptr<Exiv2::Image> image = Exiv2Adapter::openFile(path, path);
    if (!image)
        return QStringLiteral("unreadable\n");
    QString text;
    for (const Exiv2::Xmpdatum& datum : image->xmpData())
        text += QString::fromStdString(datum.key() + '=' + datum.toString()) + u'\n';
    return text;
}

// One photo's way through the batch: its record as the intake reads it, a write
// of an XMP field and an Exif one into a new file, and what that file holds.
QString readWriteAndReadBack(const QString& source, const QString& output)
{
    PhotoFile photo = photoAt(source);
    MetaDataObject settings;
    edit(settings, { { F::XMP_Lens, "Thread Lens" }, { F::Artist, "Thread Artist" } });
    const MetadataWriteResult result = writePhoto(photo, settings, output);
    const QString text = recordText(*photo.metadataObjectOriginal) + QString::number(result.errorFlag) + u' '
        + result.errorMsg + u'\n' + recordText(*readBack(output)) + xmpText(output);
    QFile::remove(output);
    return text;
}

} // namespace

// The two XMP samples declare one namespace under two prefixes ("xmp" and "xap",
// "xmpMM" and "xapMM"); one camera photo carries XMP beside its Exif, the other
// none (it is read without the lock while the others are parsed). Read and
// written on eight threads at once, every photo must come out exactly as it does
// on one thread: no read without its XMP, no refused or different write.
TEST(ExifWriterThreads, photosWithXmpReadAndWrittenOnEightThreadsComeOutAsOnOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList sources;
    for (const char* sample :
        { "xmp/no_exif.jpg", "xmp/BlueSquare.jpg", "camera/Nikon_D70.jpg", "camera/Canon_40D.jpg" }) {
        const QString copy = dir.filePath(QString::number(sources.size()) + QStringLiteral(".jpg"));
        ASSERT_TRUE(QFile::copy(samplesDir() + u'/' + QString::fromLatin1(sample), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        sources.append(copy);
    }

    QStringList expected;
    for (const QString& source : sources)
        expected.append(readWriteAndReadBack(source, dir.filePath(QStringLiteral("single.jpg"))));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        ASSERT_TRUE(expected[i].contains(QStringLiteral("\nXmp.aux.Lens=Thread Lens\n"))) << expected[i].toStdString();
        // The last photo has no packet of its own: it is read without the lock, beside the others' parses.
        EXPECT_EQ(expected[i].contains(QStringLiteral("\nXmp.xmp.CreateDate=")), i < 3);
    }

    constexpr int kThreads = 8;
    constexpr int kRounds = 6;
    std::mutex differencesLock;
    QStringList differences;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                for (qsizetype i = 0; i < sources.size(); ++i) {
                    // Each thread takes the photos in another order, so that different packets meet.
                    const qsizetype which = (i + t) % sources.size();
                    const QString output
                        = dir.filePath(QStringLiteral("out-%1-%2-%3.jpg").arg(t).arg(round).arg(which));
                    const QString got = readWriteAndReadBack(sources[which], output);
                    if (got != expected[which]) {
                        const std::scoped_lock lock(differencesLock);
                        differences.append(
                            QStringLiteral("%1 on thread %2, round %3:\n%4").arg(which).arg(t).arg(round).arg(got));
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_TRUE(differences.isEmpty()) << differences.size() << " of " << kThreads * kRounds * sources.size()
                                       << " differ from the single thread's; the first:\n"
                                       << differences.value(0).toStdString();
}
