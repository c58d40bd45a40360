#include "batch/intake/PhotoIntake.h"

#include "batch/alerts/AlertCatalog.h"
#include "batch/list/PhotoListModel.h"
#include "model/PhotoFile.h"
#include "platform/BackgroundPriority.h"
#include "support/FifoRelease.h"
#include "support/PhotoLibraryFixtures.h"
#include "support/TestGate.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace PhotoLibraryFixtures;

namespace {

// Runs the event loop until the adding has finished (or a minute has passed).
bool waitForEnd(PhotoIntake& intake)
{
    if (!intake.isRunning())
        return true;
    QEventLoop loop;
    QObject::connect(&intake, &PhotoIntake::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    return !intake.isRunning();
}

void copySamples(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& file : QDir(from).entryInfoList(QDir::Files))
        ASSERT_TRUE(QFile::copy(file.filePath(), to + u'/' + file.fileName()));
}

struct Adding {
    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoIntakeSummary summary;
    int insertions = 0;
    bool reset = false;
};

class Intake : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_tree = m_dir.filePath(QStringLiteral("tree"));
        copySamples(samplesDir() + QStringLiteral("/camera"), m_tree + QStringLiteral("/camera"));
        copySamples(samplesDir() + QStringLiteral("/gps"), m_tree + QStringLiteral("/gps/Küste und Meer"));
        copySamples(samplesDir() + QStringLiteral("/orientation"), m_tree + QStringLiteral("/orientation"));
        copySamples(samplesDir() + QStringLiteral("/tiff"), m_tree + QStringLiteral("/tiff"));
        copySamples(samplesDir() + QStringLiteral("/invalid"), m_tree + QStringLiteral("/invalid"));
        for (const char* name : { "notes.txt", "vector.eps", ".hidden.jpg", "picture.PPM" }) {
            QFile file(m_tree + u'/' + QString::fromLatin1(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }

    // One adding into a batch list that already holds alreadyListed.
    Adding add(const QStringList& paths, int threads, int chunk, int handOff, int limit = kMaxPhotosPerAdding,
        const QStringList& alreadyListed = {})
    {
        Adding result;
        for (const QString& path : alreadyListed) {
            auto photo = std::make_shared<PhotoFile>();
            photo->filePath = path;
            result.photos.append(photo);
        }
        PhotoListModel model(result.photos);
        PhotoIntake intake(model);
        intake.setReadThreads(threads);
        intake.setReadChunkSize(chunk);
        intake.setHandOffSize(handOff);
        intake.setMaxPhotos(limit);
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int, int last) {
            EXPECT_EQ(last, model.rowCount() - 1); // appended at the end
            ++result.insertions;
        });
        QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { result.reset = true; });
        EXPECT_TRUE(intake.addPhotosFromPathUrls(paths));
        EXPECT_TRUE(waitForEnd(intake));
        result.summary = intake.lastSummary();
        return result;
    }

    QTemporaryDir m_dir;
    QString m_tree;
};

QStringList pathsOf(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    QStringList paths;
    for (const auto& photo : photos)
        paths.append(photo->filePath);
    return paths;
}

void expectSameAdding(const Adding& sequential, const Adding& parallel)
{
    ASSERT_EQ(pathsOf(sequential.photos), pathsOf(parallel.photos));
    for (qsizetype i = 0; i < sequential.photos.size(); ++i) {
        const PhotoFile& a = *sequential.photos.at(i);
        const PhotoFile& b = *parallel.photos.at(i);
        EXPECT_EQ(a.width, b.width) << qPrintable(a.filePath);
        EXPECT_EQ(a.height, b.height) << qPrintable(a.filePath);
        EXPECT_EQ(a.fileSizeInBytes, b.fileSizeInBytes) << qPrintable(a.filePath);
        if (a.metadataObject && b.metadataObject) {
            for (const MetadataFieldInfo& info : kMetadataFields)
                EXPECT_EQ(a.metadataObject->field(info.field), b.metadataObject->field(info.field));
        }
    }
    EXPECT_EQ(sequential.summary, parallel.summary);
}

} // namespace

TEST_F(Intake, readsInParallelExactlyWhatOnePhotoAfterTheOtherWouldGive)
{
    const QString listed = m_tree + QStringLiteral("/camera/Nikon_D70.jpg");
    const QStringList paths { m_tree, m_tree + QStringLiteral("/camera/Canon_40D.jpg") };
    const Adding sequential = add(paths, 1, 1, 1, kMaxPhotosPerAdding, { listed });
    const Adding parallel = add(paths, 8, 3, 5, kMaxPhotosPerAdding, { listed });
    expectSameAdding(sequential, parallel);

    // Everything in the tree but the listed photo, the hidden file and the three refused files.
    int images = 0;
    for (QDirIterator it(m_tree, QDir::Files, QDirIterator::Subdirectories); it.hasNext(); it.next())
        ++images;
    EXPECT_EQ(sequential.summary.totalPhotoToAdd, images - 1 - 3);
    EXPECT_EQ(sequential.photos.size(), 1 + sequential.summary.totalPhotoToAdd);
    EXPECT_EQ(sequential.summary.alreadyExistsPhotosCount, 2); // the listed photo, the Canon twice
    EXPECT_EQ(sequential.summary.damagedFileCount, 2 + 3);
    EXPECT_TRUE(sequential.summary.isPhotoFormatNotSupported);
    EXPECT_EQ(sequential.summary.completion(false).alertTag, AlertPhotosExist);
    EXPECT_TRUE(parallel.insertions > 1);
    EXPECT_FALSE(parallel.reset);
}

TEST_F(Intake, endsAtTheLimitInParallelWhereItWouldEndOnePhotoAfterTheOther)
{
    const Adding sequential = add({ m_tree }, 1, 1, 1, 7);
    const Adding parallel = add({ m_tree }, 8, 4, 3, 7);
    expectSameAdding(sequential, parallel);
    EXPECT_EQ(parallel.summary.totalPhotoToAdd, 7);
    EXPECT_TRUE(parallel.summary.isMAX_PHOTOS_LIMIT_EXCEEDED);
    EXPECT_EQ(parallel.summary.maxPhotos, 7);
    EXPECT_EQ(parallel.summary.completion(false).alertTag, AlertPhotosLimitExceeded);
}

TEST_F(Intake, readsBelowTheWindowsPriorityAndLeavesTheCallersThreadAsItWas)
{
    // The window's thread must win every core it wants over the readers: they are
    // lowered by whole steps of the nice value, each thread once however often used
    // (a pool made by a lowered thread starts lowered and must not be lowered twice).
    const int ours = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoListModel model(photos);
    PhotoIntake intake(model);
    intake.setReadThreads(2);
    intake.setReadChunkSize(1);
    QMutex lock;
    QList<int> readers;
    intake.setPhotoReader([&](const QString& path) {
        const QMutexLocker locked(&lock);
        readers.append(getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))));
        return PhotoIntake::readPhotoFile(path);
    });
    ASSERT_TRUE(intake.addPhotosFromPathUrls({ m_tree }));
    ASSERT_TRUE(waitForEnd(intake));
    ASSERT_GT(readers.size(), 4);
    for (const int nice : readers)
        EXPECT_EQ(nice, std::min(19, ours + kBackgroundNiceSteps));
    EXPECT_EQ(getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid))), ours);
}

TEST_F(Intake, addsNothingAndSaysSoWhenEveryPathIsAlreadyListed)
{
    const QString a = m_tree + QStringLiteral("/camera/Nikon_D70.jpg");
    const QString b = m_tree + QStringLiteral("/camera/Canon_40D.jpg");
    const Adding adding = add({ a, b }, 8, 32, 256, kMaxPhotosPerAdding, { a, b });
    EXPECT_EQ(adding.summary.totalPhotoToAdd, 0);
    EXPECT_EQ(adding.photos.size(), 2);
    EXPECT_EQ(adding.insertions, 0);
    const PhotoIntakeCompletion next = adding.summary.completion(false);
    EXPECT_EQ(next.alertTag, AlertPhotosExist);
    EXPECT_TRUE(next.disableRemoveButton);
    EXPECT_FALSE(next.refreshEditor);
}

TEST_F(Intake, stopsAfterThePhotosInHandAndKeepsTheWalksOrder)
{
    // Many names for one photo: enough work that a stop comes long before the end.
    const QString folder = m_dir.filePath(QStringLiteral("many"));
    QDir().mkpath(folder);
    const QString sample = m_tree + QStringLiteral("/camera/Canon_40D.jpg");
    QStringList all;
    for (int i = 0; i < 400; ++i) {
        const QString name = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        ASSERT_TRUE(QFile::link(sample, name));
        all.append(name);
    }

    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoListModel model(photos);
    PhotoIntake intake(model);
    intake.setReadThreads(1);
    intake.setReadChunkSize(1);
    intake.setHandOffSize(1);
    // The reader holds back from the fourth photo on until the stop was asked
    // for, so the stop always comes while most photos are still to be read.
    const auto gate = std::make_shared<TestGate>(3);
    const TestGate::ScopedOpening opening(gate);
    intake.setPhotoReader([gate](const QString& path) {
        gate->pass();
        return PhotoIntake::readPhotoFile(path);
    });
    QObject::connect(&intake, &PhotoIntake::photosAdded, &intake, [&intake, gate] {
        intake.stop();
        gate->open();
    });
    ASSERT_TRUE(intake.addPhotosFromPathUrls({ folder }));
    EXPECT_FALSE(intake.addPhotosFromPathUrls({ folder })); // one adding at a time
    ASSERT_TRUE(waitForEnd(intake));

    const PhotoIntakeSummary& summary = intake.lastSummary();
    EXPECT_TRUE(summary.isPHOTOS_PROCESSING_STOPPED);
    EXPECT_GT(summary.totalPhotoToAdd, 0);
    EXPECT_LT(summary.totalPhotoToAdd, all.size());
    EXPECT_EQ(pathsOf(photos), all.mid(0, summary.totalPhotoToAdd));
    EXPECT_EQ(model.rowCount(), summary.totalPhotoToAdd);
}

namespace {

// Keeps the intake's warnings while it lives.
class IntakeWarnings {
public:
    IntakeWarnings()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&IntakeWarnings::handle);
    }
    ~IntakeWarnings() { qInstallMessageHandler(m_previous); }
    static QStringList lines()
    {
        const QMutexLocker lock(&s_mutex);
        return s_lines;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtWarningMsg && qstrcmp(context.category, "velloran.batch") == 0) {
            const QMutexLocker lock(&s_mutex);
            s_lines.append(message);
        }
    }
    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

} // namespace

// A reader fault on one photo (an exception of any kind, or no photo at all) makes
// that photo a damaged file; the adding goes on and ends.
TEST_F(Intake, aPhotoWhoseReadingFailsCountsAsDamagedAndTheOthersAreAdded)
{
    const QString camera = m_tree + QStringLiteral("/camera");
    const QStringList names { QStringLiteral("Canon_40D.jpg"), QStringLiteral("Nikon_D70.jpg"),
        QStringLiteral("Pentax_K10D.jpg"), QStringLiteral("Sony_HDR-HC3.jpg") };
    QStringList paths;
    for (const QString& name : names)
        paths.append(camera + u'/' + name);

    struct Fault {
        const char* what;
        std::function<std::shared_ptr<PhotoFile>()> fail;
    };
    const QList<Fault> faults {
        { "a standard exception", []() -> std::shared_ptr<PhotoFile> { throw std::runtime_error("broken"); } },
        { "an exception of no standard type", []() -> std::shared_ptr<PhotoFile> { throw 42; } },
        { "no photo", [] { return std::shared_ptr<PhotoFile>(); } },
    };
    for (const Fault& fault : faults) {
        for (int threads : { 1, 4 }) {
            SCOPED_TRACE(std::string(fault.what) + ", threads " + std::to_string(threads));
            const IntakeWarnings warnings;
            QList<std::shared_ptr<PhotoFile>> photos;
            PhotoListModel model(photos);
            PhotoIntake intake(model);
            intake.setReadThreads(threads);
            intake.setReadChunkSize(2);
            intake.setHandOffSize(1);
            const QString broken = paths.at(1);
            intake.setPhotoReader(
                [&](const QString& path) { return path == broken ? fault.fail() : PhotoIntake::readPhotoFile(path); });
            ASSERT_TRUE(intake.addPhotosFromPathUrls(paths));
            ASSERT_TRUE(waitForEnd(intake));

            const PhotoIntakeSummary& summary = intake.lastSummary();
            EXPECT_EQ(pathsOf(photos), QStringList({ paths.at(0), paths.at(2), paths.at(3) }));
            EXPECT_EQ(summary.totalPhotoToAdd, 3);
            EXPECT_EQ(summary.damagedFileCount, 1);
            EXPECT_FALSE(summary.isPHOTOS_PROCESSING_STOPPED);
            EXPECT_EQ(summary.completion(false).alertTag, AlertFilesCannotBeAdded);
            const QStringList lines = warnings.lines().filter(broken);
            ASSERT_EQ(lines.size(), 1) << qPrintable(warnings.lines().join(u'\n'));
            EXPECT_TRUE(lines.first().startsWith(u"Cannot add"));
        }
    }
}

TEST_F(Intake, refusesAFifoNamedLikeAPhotoInAFolderOrALibraryWithoutBlocking)
{
    const QString folder = m_dir.filePath(QStringLiteral("with-fifo"));
    copySamples(samplesDir() + QStringLiteral("/camera"), folder);
    const QString library = m_dir.filePath(QStringLiteral("Fifo.photoslibrary"));
    QDir().mkpath(library + QStringLiteral("/Masters"));
    {
        SqliteDatabase db = createPhotosDatabase(library + QStringLiteral("/database/photos.db"));
        addPhotosMaster(db, "M1", "listed.jpg", 1);
        addPhotosVersion(db, 1, "V1", "M1", "listed.jpg", {});
    }
    const QStringList fifos { folder + QStringLiteral("/fifo.jpg"), library + QStringLiteral("/Masters/listed.jpg") };
    for (const QString& fifo : fifos)
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoListModel model(photos);
    PhotoIntake intake(model);
    ASSERT_TRUE(intake.addPhotosFromPathUrls({ folder, library }));
    QEventLoop loop;
    QObject::connect(&intake, &PhotoIntake::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    if (intake.isRunning())
        loop.exec();
    if (intake.isRunning()) {
        ADD_FAILURE() << "the adding blocked on a FIFO";
        releaseFifosUntil(fifos, [&intake] {
            QCoreApplication::processEvents();
            return !intake.isRunning();
        });
    }
    const QStringList added = pathsOf(photos);
    EXPECT_FALSE(added.isEmpty());
    for (const QString& fifo : fifos)
        EXPECT_FALSE(added.contains(fifo)) << qPrintable(fifo);
    EXPECT_EQ(intake.lastSummary().damagedFileCount, 2);
    EXPECT_TRUE(intake.lastSummary().isPhotoFormatNotSupported);
}

TEST_F(Intake, tellsOfALibraryItCouldNotRead)
{
    const QString library = m_dir.filePath(QStringLiteral("Broken.photoslibrary"));
    QDir().mkpath(library + QStringLiteral("/database"));
    QList<std::shared_ptr<PhotoFile>> photos;
    PhotoListModel model(photos);
    PhotoIntake intake(model);
    QList<PhotoLibraryAlert> alerts;
    QObject::connect(&intake, &PhotoIntake::libraryAlert, [&](const PhotoLibraryAlert& alert) { alerts << alert; });
    ASSERT_TRUE(intake.addPhotosFromPathUrls({ library }));
    ASSERT_TRUE(waitForEnd(intake));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().informativeText.at(0).isUpper()) << qPrintable(alerts.first().informativeText);
    // The library's alert says why nothing came in: no second alert covers it.
    EXPECT_EQ(intake.lastSummary().libraryAlertCount, 1);
    EXPECT_EQ(intake.lastSummary().completion(true).alertTag, 0);
}
