#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Exiv2 {
class Image;
class XmpData;
} // namespace Exiv2

// The one door to exiv2. Every call into exiv2 runs inside one of these functions,
// which catch what exiv2 throws (its own errors and the std::exceptions that damaged
// metadata can raise: an allocation for a bogus size, a range check), turn it into
// one wording and log it in one format under velloran.metadata:
//     Cannot <what> <path>: <exiv2's message>
// No exiv2 exception leaves them. Every exiv2 step in them that may parse or
// serialise an XMP packet hands the packet to an XMP worker (see XmpWorkers.h) or
// holds lockXmpToolkit() (see Exiv2Setup.h), which makes reading and writing XMP
// safe on several threads at once. Holders of an Exiv2::Image include
// <exiv2/exiv2.hpp> themselves; this header needs none of it.
class Exiv2Adapter {
public:
    // How loud a failure is: a photo that cannot be read or written is a warning;
    // a missing preview or an unreadable property is an expected case.
    enum class Severity { Warning, Debug };

    // Opens the photo at openable (see openablePhotoPath) and reads its metadata
    // segments; the pixels are never decoded. Null when exiv2 cannot; the failure
    // is logged as "Cannot read metadata of <path>: ...".
    static std::unique_ptr<Exiv2::Image> openFile(
        const QString& openable, const QString& path, Severity severity = Severity::Warning);

    // Whether the parse of a JPEG's XMP packet is kept for a read of the same packet
    // on another thread later: a photo is listed now and its write reads it again.
    enum class XmpParse { ForThisRead, KeptForLaterReads };

    // Opens a photo held in memory and reads its metadata segments. The image reads
    // from the bytes themselves, which must outlive it. Null when exiv2 cannot; the
    // failure is logged as "Cannot <what> <path>: ...".
    static std::unique_ptr<Exiv2::Image> openBuffer(QByteArrayView bytes, const QString& what, const QString& path,
        Severity severity = Severity::Warning, XmpParse parse = XmpParse::ForThisRead);

    // Runs work, in which exiv2 may throw. Answers the failure in the one wording
    // ("" when exiv2 gave no text), or nothing when work ran through; logs
    // "Cannot <what> <path>: <message>".
    static std::optional<QString> run(
        const QString& what, const QString& path, const std::function<void()>& work, Severity severity);

    // Answers whether it decided "yes": the work's answer, or false when exiv2 threw.
    static bool check(const QString& what, const QString& path, const std::function<bool()>& work,
        Severity severity = Severity::Warning);

    // Edits a photo held in memory, the only way exiv2 writes here: the bytes are
    // opened and their metadata read, edit changes the image (answering false leaves
    // the photo as it is and saves nothing), exiv2 writes the new file into its own
    // buffer and save gets that buffer (valid only during the call). Answers exiv2's
    // failure in the one wording, or nothing; save is not called then.
    using Editor = std::function<bool(Exiv2::Image& image)>;
    using Saver = std::function<void(QByteArrayView newBytes)>;
    static std::optional<QString> editInMemory(
        QByteArrayView bytes, const QString& path, const Editor& edit, const Saver& save);

    // Whether exiv2's read of these bytes may parse an XMP packet, and so must
    // hold the XMP toolkit's lock. Only a JPEG whose header segments follow each
    // other plainly (see JpegHeaderLayout) can answer no: exiv2 parses XMP there
    // from an APP1 segment that starts with the XMP namespace and from tag 700
    // (XMLPacket) in the first IFD of the Exif APP1 segment, and from nothing else.
    static bool mayParseXmp(QByteArrayView bytes);

    // exiv2's XmpParser::decode of a packet into xmpData under the XMP toolkit's
    // lock: 0 when the packet was read, else exiv2's code, or kForeignStandardPrefix
    // for a packet that names another namespace with a standard prefix (xmpData
    // is then empty). May throw what exiv2 throws; run it inside run() or check().
    static int decodeXmp(Exiv2::XmpData& xmpData, const std::string& packet);
    static constexpr int kForeignStandardPrefix = 4;

    // exiv2's XmpParser::encode of xmpData into packet (compact RDF, as exiv2 writes
    // a photo's packet) under the same lock: 0 when the packet was made, else
    // exiv2's code. May throw what exiv2 throws. willReadBack: the packet goes into
    // a photo as it is and is read back right after (see XmpWorkers::encode).
    static int encodeXmp(std::string& packet, const Exiv2::XmpData& xmpData, bool willReadBack = false);

    // The text of a thrown message: UTF-8, else Latin-1, without surrounding blanks.
    static QString messageText(const char* what);
};
