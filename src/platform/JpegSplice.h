#pragma once

#include "platform/JpegHeaderLayout.h"
#include "platform/KeptSourceFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

// A JPEG file opened for a write that passes only its header through memory.
//
// exiv2 reads and rewrites a JPEG's segments up to the first start of scan and
// copies everything from there on unread. So it is given a stub instead of the
// file: the header segments, the start-of-scan segment and a few bytes after it
// (every 36-byte look-ahead of exiv2's walk stays inside bytes the stub shares
// with the file), closed by an end-of-image marker. exiv2's output for the stub
// ends with the stub's tail copied unchanged, and its output for the whole file
// would be the same header followed by the file from the start of scan on. The
// new file is therefore that header and the file's image data, which the kernel
// copies from the descriptor opened here, so that the pixels never enter this
// process.
//
// The file is opened once and kept open until the write is done (KeptSourceFile),
// so the image data copied is that of the file whose header was read; a file that
// changes meanwhile fails the write instead of mixing two versions.
class JpegSplice {
public:
    // Opens the file and reads its header. Null when the file cannot be opened, is
    // no regular file, no JPEG, a JPEG whose segments the walk does not accept
    // (see JpegHeaderLayout), one whose header is not followed by enough image
    // data, or one that ends with a trailer (JpegTrailer): such a file is read whole
    // as before.
    static std::unique_ptr<JpegSplice> open(const QString& path);

    JpegSplice(const JpegSplice&) = delete;
    JpegSplice& operator=(const JpegSplice&) = delete;

    // The bytes exiv2 is given in place of the file.
    QByteArrayView stub() const { return m_stub; }
    const JpegHeaderLayout& layout() const { return m_layout; }
    qint64 fileSize() const { return m_file->size(); }

    // The new header in exiv2's output for the stub: everything before the stub's
    // tail (from the start of scan to its end), or nothing when the output does not
    // end with that tail, in which case the splice cannot stand for the whole file.
    std::optional<QByteArrayView> headerOf(QByteArrayView edited) const;

    // Writes the new header and then the file's bytes from the start of scan to
    // its end into fd; answers the reason when it cannot or when the file changed
    // since it was opened.
    std::optional<QString> writeTo(int fd, QByteArrayView header) const;

    // Tests only, never while photos are written: false makes open answer null for
    // every file, so that the path reading whole files can be compared with this one.
    static void setEnabledForTesting(bool enabled);

private:
    explicit JpegSplice(std::unique_ptr<KeptSourceFile> file);

    std::unique_ptr<KeptSourceFile> m_file;
    JpegHeaderLayout m_layout;
    QByteArray m_stub;
};
