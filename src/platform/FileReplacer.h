#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <sys/types.h>

// Puts new bytes at a path in one step: they are written to a temporary file in
// the same folder (unnamed until complete where the file system allows it),
// flushed to disk and renamed over the path, so a reader sees
// either the old file or the complete new one, never a half-written file. On any
// failure only the temporary file goes, and the answer is the file system's own
// text ("No space left on device", "Permission denied", "File name too long").
//
// The temporary name is a fixed short prefix and a random part, whatever the
// target's name, so that a target of 255 bytes can be written as well as any
// other.
//
// A file that is replaced keeps what belongs to the file rather than to its
// bytes: mode, owner and group (as far as the process may set them) and its
// extended attributes, and with them any access control list. Other hard links
// to a replaced file keep pointing at the old content: the rename gives the path
// a new file. A symbolic link at the path is written through: the file it
// reaches is replaced and the link stays a link.
class FileReplacer {
public:
    struct Options {
        // A file whose mode bits a new file (with no file at the target yet)
        // takes; an existing target keeps its own. Empty: the umask's default.
        QString newFileModeOf;
        // The new file's modification time; the current time when absent.
        std::optional<QDateTime> modified;
        // Writes what follows the bytes into the new file (open for writing, at the
        // end of the bytes); answers the reason when it cannot, and the target
        // stays as it was. Empty: the bytes are the whole file.
        std::function<std::optional<QString>(int fd)> append = {};
        // Runs once the new file is complete, before it is flushed and takes the
        // path, with its descriptor and the bytes given; answers the reason when
        // the file must not replace the old one after all (the target stays as it was).
        std::function<std::optional<QString>(int fd, QByteArrayView bytes)> beforeRename = {};
        // Runs after the flush, right before the new file takes the path; answers the
        // reason when the file at the path must stay after all (it changed meanwhile).
        std::function<std::optional<QString>()> lastCheck = {};
    };

    // Replaces (or creates) the file at path with bytes; answers nothing on
    // success, else the reason.
    static std::optional<QString> replace(const QString& path, QByteArrayView bytes, const Options& options);

    // The path a write to path replaces: the file a symbolic link reaches, else
    // path itself. Answers the reason when a link reaches no file or loops.
    static std::optional<QString> resolvedTarget(const QString& path, QString& resolved);

    // The prefix of every temporary name; a folder left with such a file after a
    // crash holds an unfinished write, never a photo.
    static constexpr const char* kTemporaryPrefix = ".velloran-";

    // A temporary name of ours: the prefix, sixteen letters or digits that carry
    // our token (TemporaryNames) and, when a suffix is given (letters and digits),
    // "." and the suffix. Every file we write beside a photo is so named, so that
    // the sweep knows it for ours; a name with the prefix alone (a user's
    // ".velloran-config") is never taken for one.
    //
    // While a write goes on, its writer holds a lock (flock) on the file of the
    // bare name (the prefix and the sixteen letters); the kernel drops it when the
    // writer ends, however it ends. A temporary file whose bare name is not so
    // held belongs to a writer that is gone, and the sweep removes it, whatever
    // its age.
    static QByteArray temporaryName(QByteArrayView suffix = {});
    // Whether name is one that temporaryName makes, token included.
    static bool isTemporaryName(QByteArrayView name);

    // Removes the temporary files in folder whose writer is gone; answers how many.
    // Only names that carry our token are looked at, and a file is removed only
    // while the lock of its bare name is free. A write into a folder sweeps it
    // (once per process) before its first file.
    static int removeAbandonedTemporaryFiles(const QString& folder);

    // A temporary name beside a photo for a file another program writes (exiftool's
    // output): the bare name is taken by an empty file of ours, held as above while
    // the object lives, and path() is that name with the suffix, free when it was
    // taken. The output and then the bare file go with the object.
    class HeldName {
    public:
        HeldName(const QString& folder, QByteArrayView suffix);
        ~HeldName();
        HeldName(const HeldName&) = delete;
        HeldName& operator=(const HeldName&) = delete;

        // Empty when no name could be taken; error() then says why.
        const QString& path() const { return m_path; }
        const QString& error() const { return m_error; }

    private:
        QString m_path;
        QString m_held;
        QString m_error;
        int m_fd = -1;
    };

    // The file system's text for an errno value.
    static QString errorText(int error);

    // Tests only, never while files are written: a hook that runs with the target's
    // path at two points of every write, so that a test can stop the process there.
    enum class Stage { BeforeFlush, BeforeRename };
    static void setStageHookForTesting(std::function<void(const QString& path, Stage stage)> hook);

    // Writes all of bytes to fd at its position; answers errno of a failure, else 0.
    static int writeAll(int fd, QByteArrayView bytes);
};
