#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <sys/types.h>

// A folder reached from a trusted start without following a symbolic link on the
// way, every folder from the start down owned by one user: each component is
// opened relative to the one above it (O_NOFOLLOW, O_DIRECTORY) and looked at
// through its descriptor (fstat). What lies inside is then reached relative to the
// open descriptor, never by its path again, so that nobody can plant a link to a
// folder of theirs on the way, before or after the check.
class OwnedFolder {
public:
    OwnedFolder() = default;
    ~OwnedFolder();
    OwnedFolder(OwnedFolder&& other) noexcept;
    OwnedFolder& operator=(OwnedFolder&& other) noexcept;
    OwnedFolder(const OwnedFolder&) = delete;
    OwnedFolder& operator=(const OwnedFolder&) = delete;

    // Opens start/relative ("a/b/c", or empty for start itself). The start is opened
    // by its path (it is the user's own home, which may lie behind a link); every
    // folder from it down must belong to owner, or to root where rootMayOwn is set
    // (a walk from "/"). A missing component is made (0700) when make is set.
    // Closed, with the reason in error, when any of this fails.
    static OwnedFolder open(
        const QString& start, QStringView relative, uid_t owner, bool make, bool rootMayOwn, QString& error);

    // The folder name inside this one, opened and checked as above.
    OwnedFolder child(const QString& name, bool make, QString& error) const;

    // Gives the folder mode 0700 where it has another; false with error on failure.
    bool makePrivate(QString& error) const;

    // Removes the folder name inside this one with everything in it (never what a
    // link in it reaches).
    void removeChild(const QByteArray& name) const;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }
    // The path that reaches the open folder itself whatever happens to its path
    // meanwhile (the process's own entry for the descriptor), for calls that take a path.
    QString descriptorPath() const;

private:
    OwnedFolder(int fd, QString path, uid_t owner, bool rootMayOwn);
    // Takes fd over; closed, with the reason in error, unless it is a folder of the
    // owner's (or of root's where allowed).
    static OwnedFolder checked(int fd, const QString& path, uid_t owner, bool rootMayOwn, QString& error);

    int m_fd = -1;
    QString m_path;
    uid_t m_owner = 0;
    bool m_rootMayOwn = false;
};
