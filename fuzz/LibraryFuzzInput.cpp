#include "LibraryFuzzInput.h"

#include "batch/intake/DBOperations.h"
#include "batch/intake/DataFiller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

void writeFile(const QString& path, QByteArrayView bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes.data(), bytes.size());
}

// Sets the flag once the bound has passed, unless the input was done before.
class StopAfter {
public:
    StopAfter(std::atomic<bool>& stop, std::chrono::milliseconds bound)
        : m_thread([this, &stop, bound] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, bound, [this] { return m_finished; }))
                stop = true;
        })
    {
    }
    ~StopAfter()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace

QByteArray libraryFuzzInput(const QByteArray& database, const QByteArray& xmlList)
{
    QByteArray input(4, '\0');
    qToLittleEndian<quint32>(quint32(database.size()), input.data());
    return input + database + xmlList;
}

void fuzzLibraryInput(const std::uint8_t* data, std::size_t size, const QString& workDir,
    std::chrono::milliseconds stopAfter)
{
    const QByteArrayView input(data, qsizetype(size));
    const qsizetype declared = size >= 4 ? qsizetype(qFromLittleEndian<quint32>(data)) : 0;
    const QByteArrayView rest = input.sliced(std::min<qsizetype>(4, input.size()));
    const QByteArrayView database = rest.first(std::min(declared, rest.size()));
    const QByteArrayView xmlList = rest.sliced(database.size());

    const QString photos = workDir + QStringLiteral("/Fuzz.photoslibrary");
    const QString older = workDir + QStringLiteral("/Fuzz.photolibrary");
    writeFile(photos + QStringLiteral("/database/photos.db"), database);
    writeFile(older + QStringLiteral("/Database/apdb/Library.apdb"), database);
    writeFile(older + QStringLiteral("/AlbumData.xml"), xmlList);
    QDir().mkpath(older + QStringLiteral("/Masters"));

    std::atomic<bool> stop { false };
    {
        const StopAfter watchdog(stop, stopAfter);
        int alerts = 0;
        auto count = [&alerts](const PhotoLibraryAlert&) { ++alerts; };
        const QList<PhotoLibraryEntry> entries = DBOperations::getPhotoslibraryPath(photos, count, &stop);
        DataFiller filler(count, &stop);
        filler.setLibPath(older);
        filler.fetchImagesFromLib(older);
        // Every entry the readers hand over names a path, as the walk expects.
        for (const PhotoLibraryEntry& entry : entries) {
            if (entry.imagePath.isEmpty())
                std::abort();
        }
    }
    QDir(photos).removeRecursively();
    QDir(older).removeRecursively();
}
