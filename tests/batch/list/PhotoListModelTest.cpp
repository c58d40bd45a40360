#include "batch/list/PhotoListModel.h"

#include "batch/list/ThumbnailCache.h"
#include "model/PhotoFile.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<PhotoFile> photo(const QString& path, bool selected = false)
{
    auto file = std::make_shared<PhotoFile>();
    file->filePath = path;
    file->fileName = path.mid(path.lastIndexOf(u'/') + 1);
    file->isSelected = selected;
    return file;
}

// Runs the event loop until the signal comes (or ten seconds have passed).
template <typename Sender, typename Signal> bool waitFor(Sender* sender, Signal signal)
{
    QEventLoop loop;
    bool arrived = false;
    QObject::connect(sender, signal, &loop, [&] {
        arrived = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return arrived;
}

class PhotoList : public ::testing::Test {
protected:
    void fill(std::initializer_list<bool> marks)
    {
        QList<std::shared_ptr<PhotoFile>> photos;
        int i = 0;
        for (bool mark : marks)
            photos.append(photo(QStringLiteral("/photos/%1.jpg").arg(i++), mark));
        m_model.appendPhotos(photos);
    }

    QStringList paths() const
    {
        QStringList list;
        for (const auto& file : m_photos)
            list.append(file->filePath);
        return list;
    }

    QList<std::shared_ptr<PhotoFile>> m_photos;
    PhotoListModel m_model { m_photos };
};

} // namespace

TEST_F(PhotoList, showsEachPhotoFromMemoryAndAnswersNothingOutsideTheList)
{
    fill({ true, false });
    const QModelIndex first = m_model.index(0);
    EXPECT_EQ(m_model.data(first, Qt::DisplayRole).toString(), "0.jpg");
    EXPECT_EQ(m_model.data(first, PhotoListModel::FilePathRole).toString(), "/photos/0.jpg");
    EXPECT_EQ(m_model.data(first, Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(m_model.data(m_model.index(1), PhotoListModel::IsSelectedRole).toBool(), false);
    EXPECT_TRUE(m_model.data(first, PhotoListModel::ThumbnailRole).value<QImage>().isNull());

    EXPECT_FALSE(m_model.index(2).isValid());
    EXPECT_EQ(m_model.photoAt(2), nullptr);
    EXPECT_EQ(m_model.photoAt(-1), nullptr);
    EXPECT_FALSE(m_model.toggleCheckMark(2));
    EXPECT_FALSE(m_model.toggleCheckMark(-1));
    EXPECT_EQ(m_model.flags(m_model.index(5)), Qt::NoItemFlags);
}

TEST_F(PhotoList, countsItsPhotosInTheLabel)
{
    EXPECT_EQ(m_model.countLabelText(), "Photos");
    fill({ false, false, false });
    EXPECT_EQ(m_model.countLabelText(), "Photos(3)");
}

TEST_F(PhotoList, togglesOneCheckMarkAndTellsTheForm)
{
    fill({ false, false, false });
    int changes = 0;
    QObject::connect(&m_model, &PhotoListModel::checkedPhotosChanged, [&] { ++changes; });
    EXPECT_TRUE(m_model.toggleCheckMark(1));
    EXPECT_EQ(m_model.checkedPhotos(), QList<std::shared_ptr<PhotoFile>>({ m_photos.at(1) }));
    EXPECT_TRUE(m_model.setData(m_model.index(2), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(m_model.checkedCount(), 2);
    EXPECT_EQ(changes, 2);
}

TEST_F(PhotoList, marksAllUnlessAllAreMarkedThenUnmarksAll)
{
    fill({ true, false, true });
    EXPECT_TRUE(m_model.markUnmarkAll());
    EXPECT_EQ(m_model.checkedCount(), 3);
    EXPECT_FALSE(m_model.markUnmarkAll());
    EXPECT_EQ(m_model.checkedCount(), 0);
    EXPECT_TRUE(m_model.checkedPhotos().isEmpty());
}

TEST(PhotoListEmpty, unmarksWhenEmptyAndHandsTheFormNothing)
{
    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoListModel model(photos);
    EXPECT_FALSE(model.markUnmarkAll());
    EXPECT_TRUE(model.checkedPhotos().isEmpty());
}

TEST_F(PhotoList, removesTheMarkedPhotosAndKeepsTheOthersInOrder)
{
    fill({ true, false, true, true, false });
    const QPersistentModelIndex kept(m_model.index(4));
    const QPersistentModelIndex removed(m_model.index(2));
    const std::shared_ptr<PhotoFile> last = m_photos.at(4);
    int removals = 0;
    QObject::connect(&m_model, &QAbstractItemModel::rowsRemoved, [&] { ++removals; });

    EXPECT_EQ(m_model.removeCheckedPhotos(), 3);
    EXPECT_EQ(paths(), QStringList({ "/photos/1.jpg", "/photos/4.jpg" }));
    EXPECT_EQ(removals, 2); // row 0, then rows 2 and 3 at once
    EXPECT_FALSE(m_model.containsPath("/photos/0.jpg"));
    EXPECT_EQ(m_model.rowOfPath("/photos/4.jpg"), 1);

    // A click held back on a row acts on its photo, wherever that photo now is.
    EXPECT_EQ(kept.row(), 1);
    EXPECT_TRUE(m_model.toggleCheckMark(kept));
    EXPECT_TRUE(last->isSelected);
    EXPECT_FALSE(m_model.toggleCheckMark(removed));

    // A removed path may come in again.
    EXPECT_FALSE(m_model.pathsInBatch().contains("/photos/2.jpg"));
    EXPECT_EQ(m_model.removeCheckedPhotos(), 1);
    EXPECT_EQ(m_model.removePhoto(photo("/photos/1.jpg")), 0); // another record with the same path is not in the list
}

// The path index grows hand-off by hand-off, as an adding fills it; every path is
// found at its row however often it grew, and no other path is.
TEST_F(PhotoList, findsEveryPathAfterTheIndexGrewOverManyHandOffs)
{
    for (int first = 0; first < 3000; first += 256) {
        QList<std::shared_ptr<PhotoFile>> chunk;
        for (int i = first; i < std::min(3000, first + 256); ++i)
            chunk.append(photo(QStringLiteral("/card/%1/IMG_%2.JPG").arg(i / 100).arg(i)));
        m_model.appendPhotos(chunk);
    }
    ASSERT_EQ(m_model.count(), 3000);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(m_model.rowOfPath(QStringLiteral("/card/%1/IMG_%2.JPG").arg(i / 100).arg(i)), i);
    EXPECT_EQ(m_model.rowOfPath(QStringLiteral("/card/0/IMG_3000.JPG")), -1);
    EXPECT_EQ(m_model.pathsInBatch().size(), 3000);
}

TEST(PhotoListMissing, removesOnlyThePhotosWhoseFileIsGone)
{
    QTemporaryDir dir;
    QList<std::shared_ptr<PhotoFile>> photos;
    for (const char* name : { "a.jpg", "b.jpg", "c.jpg", "d.jpg" }) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        photos.append(photo(path));
    }
    PhotoListModel model(photos);
    ASSERT_TRUE(QFile::remove(dir.filePath("a.jpg")));
    ASSERT_TRUE(QFile::remove(dir.filePath("c.jpg")));

    // The photo menu of a row outside the list opens nothing; of a missing photo, the alert.
    EXPECT_EQ(model.photoMenuOpening(0), PhotoListModel::PhotoMenuOpening::MissingPhotoAlert);
    EXPECT_EQ(model.photoMenuOpening(1), PhotoListModel::PhotoMenuOpening::Menu);
    EXPECT_EQ(model.photoMenuOpening(4), PhotoListModel::PhotoMenuOpening::Nothing);
    EXPECT_EQ(model.photoMenuOpening(-1), PhotoListModel::PhotoMenuOpening::Nothing);

    int removed = -1;
    QObject::connect(&model, &PhotoListModel::missingPhotoScanFinished, [&](int count) { removed = count; });
    ASSERT_TRUE(model.startMissingPhotoScan());
    EXPECT_FALSE(model.startMissingPhotoScan());
    ASSERT_TRUE(waitFor(&model, &PhotoListModel::missingPhotoScanFinished));
    EXPECT_EQ(removed, 2);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.photoAt(0)->filePath, dir.filePath("b.jpg"));
    EXPECT_EQ(model.photoAt(1)->filePath, dir.filePath("d.jpg"));
    EXPECT_TRUE(model.startMissingPhotoScan()) << "the scan's end lets the next one start";
    ASSERT_TRUE(waitFor(&model, &PhotoListModel::missingPhotoScanFinished));
}

TEST(PhotoListThumbnails, repaintsOnlyTheRowOfThePathWhoseThumbnailArrived)
{
    const QString sample = samplesDir() + QStringLiteral("/camera/Canon_40D.jpg");
    QList<std::shared_ptr<PhotoFile>> photos { photo("/nowhere/x.jpg"), photo(sample), photo("/nowhere/y.jpg") };
    PhotoListModel model(photos);
    ThumbnailCache cache;
    model.setThumbnailCache(&cache);
    QList<int> changedRows;
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& from, const QModelIndex& to) { changedRows.append(from.row() * 100 + to.row()); });

    model.requestThumbnails(1, 1);
    EXPECT_EQ(
        model.data(model.index(1), PhotoListModel::ThumbnailStateRole).toInt(), int(ThumbnailCache::State::Loading));
    ASSERT_TRUE(waitFor(&cache, &ThumbnailCache::thumbnailReady));
    EXPECT_EQ(changedRows, QList<int>({ 101 }));
    const QImage thumbnail = model.data(model.index(1), PhotoListModel::ThumbnailRole).value<QImage>();
    EXPECT_FALSE(thumbnail.isNull());
    EXPECT_TRUE(model.data(model.index(0), PhotoListModel::ThumbnailRole).value<QImage>().isNull());
}
