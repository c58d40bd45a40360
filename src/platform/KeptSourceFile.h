#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>

// A regular file opened once for reading and kept open until a write made from it
// is done, so that the bytes copied are those of the file that was looked at. It
// remembers its size and modification time at the opening: a file that changes
// meanwhile (another size, another time, fewer bytes than expected) fails the copy
// instead of mixing two versions into the new file.
class KeptSourceFile {
public:
    // Null when the file cannot be opened or is no regular file. The open never
    // blocks: a FIFO named like a photo must not hold a writer up.
    static std::unique_ptr<KeptSourceFile> open(const QString& path);

    ~KeptSourceFile();
    KeptSourceFile(const KeptSourceFile&) = delete;
    KeptSourceFile& operator=(const KeptSourceFile&) = delete;

    const QString& path() const { return m_path; }
    qint64 size() const { return qint64(m_status.st_size); }
    // Its status at the opening.
    const struct stat& status() const { return m_status; }

    // Appends up to count bytes from offset (fewer at the end of the file); false
    // on a read error.
    bool readAt(qint64 offset, qsizetype count, QByteArray& bytes) const;

    // Copies the file from offset to its end into fd at its position, inside the
    // kernel where it can (FileRangeCopy); answers the reason when it cannot or when
    // the file changed since it was opened. Given seen, the copy goes through a
    // buffer instead, each piece handed to seen before it is written
    // (FileRangeCopy::copyShowing).
    std::optional<QString> copyTo(int fd, qint64 offset, const std::function<void(QByteArrayView)>& seen = {}) const;

    // Whether the file is still the one opened, as it was then: its path names the
    // same file (device and inode), with the size and the modification and change
    // times of the opening. A write, even of the same bytes with the time put back,
    // moves the change time, which no program sets; a file renamed into its place is
    // another file.
    bool isUnchanged() const;

    // Tests only, never while files are copied: the hook runs at the start of every
    // copyTo, so that a test can change the file after it was opened and looked at.
    static void setBeforeCopyHookForTesting(std::function<void()> hook);

private:
    KeptSourceFile(int fd, QString path, const struct stat& status);

    int m_fd;
    QString m_path;
    struct stat m_status;
};
