#pragma once

#include <QString>

// A private temporary folder of ours (0700) for as long as the object lives:
// "<parent>/<prefix>" and sixteen letters that carry our token (TemporaryNames),
// removed with everything in it when the object goes.
//
// Its maker holds a lock (flock) on the folder itself; the kernel drops it when
// the process ends, however it ends. So a folder whose name carries the token and
// whose lock can be taken was left by a run that is gone, and is removed, whatever
// its age; a live run's folder never is, nor a folder named with the prefix alone.
// Making one first removes those.
class HeldFolder {
public:
    HeldFolder(const QString& parent, const QString& prefix);
    ~HeldFolder();
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    // Empty when the folder could not be made; errorString() then says why.
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + u'/' + name; }
    QString errorString() const { return m_error; }

    // Removes the folders of ours in parent (named as above, the user's, not links)
    // whose maker is gone; answers how many. Older versions named their folders
    // "<prefix>XXXXXX" and held them by an "owner.lock" in them: such a folder is
    // taken for ours only where it holds that file, and removed once no one holds it.
    static int removeAbandoned(const QString& parent, const QString& prefix);

    // Removes the folder name in the open folder parentFd with everything in it,
    // never following a link: the one way our private folders are removed.
    static void removeFolderAt(int parentFd, const char* name);

private:
    QString m_path;
    QString m_error;
    int m_lock = -1;
};
