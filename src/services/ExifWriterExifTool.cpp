#include "services/ExifBlockRewrite.h"
#include "services/ExifToolArguments.h"
#include "services/ExifWriter.h"
#include "services/ExifWriterEditing.h"
#include "services/MetadataVerification.h"
#include "base/Logging.h"
#include "platform/BmffItemRewrite.h"
#include "platform/BmffLayout.h"
#include "platform/Exiv2Adapter.h"
#include "platform/ExifToolProcess.h"
#include "platform/FileReplacer.h"
#include "platform/ImageDataLayout.h"
#include "platform/OpenablePhotoPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using namespace ExifWriterEditing;

namespace {

QMutex& programLock()
{
    static QMutex lock;
    return lock;
}

QString& configuredProgram()
{
    static QString program;
    return program;
}

QString exifToolProgram()
{
    const QMutexLocker locker(&programLock());
    return configuredProgram().isEmpty() ? ExifToolProcess::defaultProgram() : configuredProgram();
}

// One exiftool per writer thread, made at the first photo that needs it (a fork of
// one exiftool shared by all, see ExifToolProcess); it ends with its thread, or
// with the application (ExifToolProcess::endAll).
ExifToolProcess& processForThisThread()
{
    thread_local std::unique_ptr<ExifToolProcess> process;
    thread_local QString program;
    const QString wanted = exifToolProgram();
    if (!process || program != wanted) {
        program = wanted;
        process = std::make_unique<ExifToolProcess>(wanted, ExifToolArguments::configText());
    }
    return *process;
}

// A suffix exiftool may see: letters and digits only (it tells a kind by it).
bool isPlainSuffix(const QString& suffix)
{
    return !suffix.isEmpty() && suffix.size() <= 8 && std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
        return c.unicode() < 128 && c.isLetterOrNumber();
    });
}

bool writeFile(const QString& path, QByteArrayView bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush();
}

// The files of one command in exiftool's work folder, which is its current
// folder: exiftool is given their names, of our own making, relative to it, and
// reaches the photo and the folder of its output through links. They go with the
// command.
class CommandFiles {
public:
    CommandFiles()
        : m_folder(ExifToolProcess::workFolder(&m_failure))
        , m_number(nextNumber())
    {
    }
    ~CommandFiles()
    {
        for (const QString& name : m_made)
            QFile::remove(QDir(m_folder).filePath(name));
    }
    CommandFiles(const CommandFiles&) = delete;
    CommandFiles& operator=(const CommandFiles&) = delete;

    // Why the folder could not be made; empty when it is there.
    QString failure() const { return m_folder.isEmpty() ? m_failure : QString(); }

    // A file holding bytes; its name, or nothing when it cannot be written.
    std::optional<QString> file(const QString& kind, QByteArrayView bytes)
    {
        const QString name = nameFor(kind, {});
        if (!writeFile(QDir(m_folder).filePath(name), bytes))
            return std::nullopt;
        return name;
    }

    // A link to target, named with suffix when one is given; its name, or nothing
    // when it cannot be made (errno says why).
    std::optional<QString> link(const QString& kind, const QString& target, const QString& suffix = {})
    {
        const QString name = nameFor(kind, suffix);
        if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(QDir(m_folder).filePath(name)).constData())
            != 0)
            return std::nullopt;
        return name;
    }

private:
    static int nextNumber()
    {
        static std::atomic<int> counter { 0 };
        return counter.fetch_add(1);
    }

    QString nameFor(const QString& kind, const QString& suffix)
    {
        const QString name = u"%1-%2-%3"_s.arg(kind).arg(m_number).arg(m_made.size())
            + (suffix.isEmpty() ? QString() : u'.' + suffix);
        m_made << name;
        return name;
    }

    QString m_failure;
    QString m_folder;
    int m_number;
    QStringList m_made;
};

// Whether the file system of folder has room for a file of size bytes (and the
// metadata exiftool adds to it); yes when it cannot tell.
bool hasRoomFor(const QString& folder, qint64 size)
{
    struct statvfs volume { };
    if (::statvfs(QFile::encodeName(folder).constData(), &volume) != 0)
        return true;
    constexpr qint64 kAddedMetadata = 1 << 20;
    return qint64(volume.f_bavail) * qint64(volume.f_frsize) >= size + kAddedMetadata;
}

// "-TAG=value" and "-TAG#=value" split into the tag part and the value.
std::optional<std::pair<QString, QString>> splitAssignment(const QString& argument)
{
    static const QRegularExpression assignment(
        u"^(-[A-Za-z0-9_:-]+#?)=(.*)$"_s, QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = assignment.match(argument);
    if (!match.hasMatch())
        return std::nullopt;
    return std::pair { match.captured(1), match.captured(2) };
}

// The edit's arguments with the placeholders of the blocks exiftool reads whole
// replaced by files that hold them, and each value that no argument line carries
// unchanged handed over in a file of its own ("-TAG<=file"). Nothing when a file
// cannot be written; saveError says which.
std::optional<QStringList> argumentsWithBlockFiles(
    const ExifToolEdit& change, CommandFiles& files, std::optional<QString>& saveError)
{
    QStringList arguments;
    for (QString argument : change.arguments) {
        if (argument.endsWith(QLatin1StringView(ExifToolArguments::kXmpFile))) {
            const std::optional<QString> name = files.file(
                u"xmp"_s, QByteArrayView(change.xmpPacket.data(), qsizetype(change.xmpPacket.size())));
            if (!name) {
                saveError = u"Cannot hand the XMP data to exiftool"_s;
                return std::nullopt;
            }
            argument.replace(QLatin1StringView(ExifToolArguments::kXmpFile), *name);
        } else if (argument.endsWith(QLatin1StringView(ExifToolArguments::kIptcFile))) {
            const std::optional<QString> name = files.file(u"iptc"_s, change.iptcBlock);
            if (!name) {
                saveError = u"Cannot hand the IPTC data to exiftool"_s;
                return std::nullopt;
            }
            argument.replace(QLatin1StringView(ExifToolArguments::kIptcFile), *name);
        } else if (!ExifToolProcess::canFrame(argument)) {
            const auto split = splitAssignment(argument);
            const std::optional<QString> name = split ? files.file(u"value"_s, split->second.toUtf8()) : std::nullopt;
            if (!name) {
                saveError = u"Cannot hand a value to exiftool"_s;
                return std::nullopt;
            }
            argument = split->first + u"<="_s + *name;
        }
        arguments << argument;
    }
    return arguments;
}

// exiv2 decodes the XMP of a HEIF file without keeping its packet text; a
// restore point puts back a packet, so it gets one made of the data.
void keepXmpPacketOf(MetadataSnapshot& before, const QString& path)
{
    if (!before.xmpPacket.empty() || before.xmp.empty())
        return;
    std::string packet;
    if (!Exiv2Adapter::run(u"keep the XMP data of"_s, path, [&] { Exiv2Adapter::encodeXmp(packet, before.xmp); },
            Exiv2Adapter::Severity::Warning))
        before.xmpPacket = packet;
}

bool isParsableXmp(const std::string& packet)
{
    if (packet.empty())
        return true;
    Exiv2::XmpData parsed;
    return Exiv2Adapter::decodeXmp(parsed, packet) == 0;
}

bool isPng(QByteArrayView head)
{
    return head.size() >= 8 && head.first(8) == "\x89PNG\r\n\x1a\n";
}

bool isWebp(QByteArrayView head)
{
    return head.size() >= 12 && head.first(4) == "RIFF" && head.sliced(8, 4) == "WEBP";
}

// A base media file's kind by the brands of its "ftyp" box: its major brand, or for
// the general image brands the compatible brands that follow it; "HEIF" when
// none tells more.
QString bmffKindName(QByteArrayView head)
{
    const auto isAnyOf = [](QByteArrayView brand, std::initializer_list<const char*> brands) {
        return std::any_of(brands.begin(), brands.end(), [&](const char* one) { return brand == one; });
    };
    const auto nameOf = [&](QByteArrayView brand) -> QString {
        if (isAnyOf(brand, { "heic", "heix", "heim", "heis", "hevc", "hevx" }))
            return u"HEIC"_s;
        if (isAnyOf(brand, { "avif", "avis" }))
            return u"AVIF"_s;
        if (brand == "crx ")
            return u"CR3"_s;
        return {};
    };
    if (const QString major = nameOf(head.sliced(8, 4)); !major.isEmpty())
        return major;
    const qsizetype boxEnd = std::min<qsizetype>(head.size(), qFromBigEndian<quint32>(head.data()));
    for (qsizetype at = 16; at + 4 <= boxEnd; at += 4) {
        if (const QString compatible = nameOf(head.sliced(at, 4)); !compatible.isEmpty())
            return compatible;
    }
    return u"HEIF"_s;
}

// The name extensions under which exiftool takes the kinds it writes for us: it
// tells a file's kind by its extension and refuses one whose content is of
// another kind ("Not a valid JPG (looks more like a PNG)").
const QStringList& bmffSuffixes()
{
    static const QStringList suffixes { u"heic"_s, u"heif"_s, u"hif"_s, u"avif"_s, u"cr3"_s };
    return suffixes;
}

const QStringList& pngSuffixes()
{
    static const QStringList suffixes { u"png"_s };
    return suffixes;
}

// Enough of a file for exiv2 to tell its kind: each kind's signature lies in its
// first bytes.
constexpr qint64 kKindHeadSize = 4096;

// Whether exiv2 writes metadata of a kind we edit into files starting with head.
// An XMP packet alone (exiv2's sidecar kind) is no photo: written, it would stay a
// packet under a photo's name, and none of its Exif or IPTC fields could be kept.
bool isWrittenByExiv2(QByteArrayView head, const QString& path)
{
    int type = Exiv2::ImageType::none;
    // exiv2 throws for some contents it cannot tell (a PBM); its open of the whole
    // file, before any write, would throw the same.
    Exiv2Adapter::run(u"tell the kind of"_s, path, [&] {
        type = Exiv2::ImageFactory::getType(reinterpret_cast<const Exiv2::byte*>(head.data()), long(head.size()));
    }, Exiv2Adapter::Severity::Debug);
    if (type == Exiv2::ImageType::none || type == Exiv2::ImageType::xmp)
        return false;
    static constexpr Exiv2::MetadataId kEdited[] { Exiv2::mdExif, Exiv2::mdIptc, Exiv2::mdXmp };
    return std::any_of(std::begin(kEdited), std::end(kEdited), [&](Exiv2::MetadataId kind) {
        return (Exiv2::ImageFactory::checkMode(type, kind) & Exiv2::amWrite) != 0;
    });
}

// The entries exiftool gives the directories it makes (in a PNG or HEIF file
// without Exif), with its values, as a JPEG's new directories get them; the rest
// of what it adds, addRequiredEntries asks for already.
void addNewDirectoryEntries(Exiv2::Image& image, const Exiv2::ExifData& before)
{
    Exiv2::ExifData& exifData = image.exifData();
    const auto hadGroup = [&](const char* group) {
        return std::any_of(
            before.begin(), before.end(), [&](const Exiv2::Exifdatum& datum) { return datum.groupName() == group; });
    };
    const auto hasGroup = [&](const char* group) {
        return std::any_of(
            exifData.begin(), exifData.end(), [&](const Exiv2::Exifdatum& datum) { return datum.groupName() == group; });
    };
    const auto add = [&](const char* key, Exiv2::TypeId type, const char* text) {
        if (exifData.findKey(Exiv2::ExifKey(key)) != exifData.end())
            return;
        std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
        value->read(text);
        exifData.add(Exiv2::ExifKey(key), value.get());
    };
    if (exifData.empty())
        return;
    if (!hadGroup("Image")) {
        add("Exif.Image.XResolution", Exiv2::unsignedRational, "72/1");
        add("Exif.Image.YResolution", Exiv2::unsignedRational, "72/1");
        add("Exif.Image.ResolutionUnit", Exiv2::unsignedShort, "2");
        add("Exif.Image.YCbCrPositioning", Exiv2::unsignedShort, "1");
    }
    if (!hadGroup("Photo") && hasGroup("Photo"))
        add("Exif.Photo.ComponentsConfiguration", Exiv2::undefined, "1 2 3 0");
}

// The edit written into a HEIF or AVIF file's own Exif and XMP items, without
// exiftool: the Exif block edited where it lies, as a JPEG's, and the packet
// exiftool would be given; every other byte of the file kept (see
// BmffLayout::withMetadataItems). Nothing where exiftool is needed: an item to add,
// the XMP to remove, an Exif block that cannot be edited in place, a layout that
// allows no plain rewrite.
std::optional<QByteArray> editedItems(QByteArrayView original, const MetadataSnapshot& before,
    const MetadataSnapshot& expected, const EditedKeys& edited, const ExifToolEdit& change)
{
    if (!BmffLayout::isBmff(original))
        return std::nullopt;
    std::optional<QByteArray> tiff;
    if (!edited.exif.empty()) {
        const std::optional<QByteArrayView> block = BmffLayout::exifItem(original);
        tiff = block ? tiffBlockEditedInPlace(*block, expected.exif, edited.exif) : std::nullopt;
        if (!tiff)
            return std::nullopt;
    }
    std::optional<QByteArrayView> packet;
    if (!edited.xmp.empty() || expected.xmpPacket != before.xmpPacket) {
        if (!change.writesXmp)
            return std::nullopt;
        packet = QByteArrayView(change.xmpPacket.data(), qsizetype(change.xmpPacket.size()));
    }
    return BmffLayout::withMetadataItems(original, tiff, packet);
}

} // namespace

void ExifWriter::setExifToolProgram(const QString& program)
{
    const QMutexLocker locker(&programLock());
    configuredProgram() = program;
}

bool ExifWriter::isWrittenByExifTool(QByteArrayView head)
{
    return BmffLayout::isBmff(head) || isPng(head);
}

bool ExifWriter::keepsIptc(QByteArrayView head)
{
    return !BmffLayout::isBmff(head) && !isWebp(head);
}

QString ExifWriter::keepsNoIptcRefusal()
{
    return u"This kind of photo keeps no IPTC data, so its IPTC fields cannot be written; the photo was not "
           u"changed."_s;
}

PhotoKind ExifWriter::kindOf(QByteArrayView head)
{
    PhotoKind kind;
    kind.keepsIptc = keepsIptc(head);
    if (BmffLayout::isBmff(head))
        kind.name = bmffKindName(head);
    else if (isWebp(head))
        kind.name = u"WEBP"_s;
    return kind;
}

std::optional<QByteArray> ExifWriter::kindHeadOf(const QString& path)
{
    // A FIFO or device under the name answers nothing, without blocking.
    QFile file(path);
    if (!openRegularFile(file))
        return std::nullopt;
    QByteArray head = file.read(kKindHeadSize);
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return head;
}

std::optional<QString> ExifWriter::whyNotWritable(const QString& path)
{
    return whyNotWritable(path, kindHeadOf(path));
}

std::optional<QString> ExifWriter::whyNotWritable(const QString& path, const std::optional<QByteArray>& readHead)
{
    if (!readHead)
        return std::nullopt; // the reading of the photo has its own words for that
    const QByteArray& head = *readHead;
    if (head.isEmpty())
        return u"Its metadata cannot be written: the file is empty."_s;
    if (isWrittenByExifTool(head)) {
        const bool bmff = BmffLayout::isBmff(head);
        const QString suffix = QFileInfo(path).suffix();
        if (!(bmff ? bmffSuffixes() : pngSuffixes()).contains(suffix, Qt::CaseInsensitive))
            return u"Its metadata cannot be written: the file holds a %1 image but is named \".%2\"; under the "
                   u"extension of its kind (%3) it can be edited."_s
                .arg(bmff ? u"HEIC, HEIF, AVIF or CR3"_s : u"PNG"_s, suffix,
                    u"."_s + (bmff ? bmffSuffixes() : pngSuffixes()).join(u", ."_s));
        return bmff ? BmffLayout::missingPart(path) : std::nullopt;
    }
    if (!isWrittenByExiv2(head, path))
        return u"Its metadata cannot be written: Velloran writes no metadata into files of this kind."_s;
    // A TIFF file's directories may lie anywhere in it: the image data they place is
    // looked for in the file, as the verification of every write looks for it.
    if (ImageDataLayout::kindOf(head) == ImageDataLayout::Kind::Tiff)
        return ImageDataLayout::tiffDamage(path);
    return std::nullopt;
}

void ExifWriter::prepareWriterFor(const QString& path)
{
    // By name only: a wrong guess costs one idle process or a start at the first photo.
    const QString suffix = QFileInfo(path).suffix();
    if (bmffSuffixes().contains(suffix, Qt::CaseInsensitive) || pngSuffixes().contains(suffix, Qt::CaseInsensitive))
        ExifToolProcess::prepare(exifToolProgram(), ExifToolArguments::configText(), path);
}

namespace ExifWriterEditing {

EditedPhoto editedThroughExifTool(QByteArrayView original, const QString& basisPath, const QString& path,
    const MetadataEdit& edit, const QString& target, const FileReplacer::Options& options)
{
    EditedPhoto result;
    const std::unique_ptr<Exiv2::Image> image
        = Exiv2Adapter::openBuffer(original, u"read metadata of"_s, path);
    if (!image) {
        result.error = u"The photo's metadata cannot be read."_s;
        return result;
    }
    MetadataSnapshot expected;
    ExifToolEdit change;
    result.error = Exiv2Adapter::run(u"edit the metadata of"_s, path, [&] {
        result.before = MetadataSnapshot::of(*image);
        if (image->byteOrder() != Exiv2::invalidByteOrder)
            result.byteOrder = image->byteOrder();
        const EditOutcome outcome = edit(*image);
        result.status = outcome.status;
        if (outcome.refusal) {
            result.refusal = outcome.refusal;
            return;
        }
        const UnreadExifEdit unread = exifBlockEdit(outcome, *image, result.before.exif, original);
        if (outcome.addsRequiredEntries)
            addRequiredEntries(*image, result.before.exif);
        if (outcome.addsRequiredEntries && (isPng(original) || BmffLayout::isBmff(original)))
            addNewDirectoryEntries(*image, result.before.exif);
        expected = MetadataSnapshot::of(*image);
        result.edited = editedKeysBetween(result.before, expected);
        if (unread.refusal && result.edited.exif.empty()) {
            result.refusal = unread.refusal;
            return;
        }
        result.xmpPacketChanged = expected.xmpPacket != result.before.xmpPacket;
        const bool keepsPacket = outcome.writesXmpPacket || !result.rewritesXmpPacket();
        if (!keepsPacket && !result.edited.xmp.empty() && !isParsableXmp(result.before.xmpPacket)) {
            result.refusal = u"The photo's XMP data cannot be read, so its XMP fields cannot be changed; the "
                             u"photo was not changed."_s;
            return;
        }
        // A HEIF file without Exif data gets an Exif item of exiftool's making. It is
        // safe to write: our one reader finds that item too (exiv2 alone misses it),
        // so the read-back below verifies it like any other photo's Exif data.
        change = ExifToolArguments::editArguments(
            result.before, expected, result.edited, ExifWriter::keepsIptc(original), outcome.writesXmpPacket);
    }, Exiv2Adapter::Severity::Warning);
    if (!result.refusal && change.refusal)
        result.refusal = change.refusal;
    if (result.error || result.refusal) {
        if (result.refusal)
            qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << *result.refusal;
        return result;
    }

    const bool changes = !result.edited.exif.empty() || !result.edited.iptc.empty() || result.rewritesXmpPacket();
    if (!changes) {
        // Nothing to apply: the file goes as it is, without exiftool.
        result.saveError = FileReplacer::replace(target, original, options);
        return result;
    }

    if (const std::optional<QByteArray> items = editedItems(original, result.before, expected, result.edited, change)) {
        // A write that does not hold what it must goes to exiftool after all, to be judged anew.
        const std::optional<QString> refusal
            = verifyWrittenMetadata(result.before, expected, result.edited, path, *items, original);
        if (!refusal) {
            qCDebug(lcMetadata).noquote() << "Written into its own items:" << path;
            result.saveError = FileReplacer::replace(target, *items, options);
            keepXmpPacketOf(result.before, path);
            return result;
        }
        qCInfo(lcMetadata).noquote() << "Written by exiftool:" << path << "- its own items did not hold:" << *refusal;
    }

    // The blocks exiftool reads whole, the photo and the file it writes beside the
    // target, each under a name of ours in its work folder.
    CommandFiles files;
    if (!files.failure().isEmpty()) {
        result.saveError = u"Cannot hand the photo to exiftool: %1"_s.arg(files.failure());
        return result;
    }
    const QString inputSuffix = QFileInfo(basisPath).suffix();
    const QString outputSuffix = QFileInfo(target).suffix();
    if (!isPlainSuffix(inputSuffix) || !isPlainSuffix(outputSuffix)) {
        result.refusal = u"exiftool cannot write a photo whose name ends \".%1\"; the photo was not changed."_s.arg(
            isPlainSuffix(inputSuffix) ? outputSuffix : inputSuffix);
        return result;
    }
    std::optional<QStringList> handed = argumentsWithBlockFiles(change, files, result.saveError);
    if (!handed)
        return result;
    QStringList& arguments = *handed;
    const QString targetFolder = QFileInfo(target).absolutePath();
    // exiftool's output is named like the replacer's temporary files and held as
    // theirs, so that one left by a killed run is swept; the photo's own suffix
    // tells exiftool what it writes.
    const FileReplacer::HeldName written(targetFolder, outputSuffix.toLatin1());
    if (written.path().isEmpty()) {
        result.saveError = written.error();
        return result;
    }
    const QString outputName = QFileInfo(written.path()).fileName();
    const std::optional<QString> photoName = files.link(u"photo"_s, QFileInfo(basisPath).absoluteFilePath(), inputSuffix);
    const std::optional<QString> folderName = files.link(u"folder"_s, targetFolder);
    if (!photoName || !folderName) {
        result.saveError = u"Cannot hand the photo to exiftool: %1"_s.arg(FileReplacer::errorText(errno));
        return result;
    }
    arguments << u"-o"_s << *folderName + u'/' + outputName << *photoName;

    qCDebug(lcMetadata).noquote() << "exiftool" << arguments.join(u' ');
    const ExifToolProcess::Reply reply = processForThisThread().execute(arguments, basisPath);
    if (!reply.answered) {
        result.refusal = reply.failure;
        qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << reply.failure;
        return result;
    }
    const ExifToolArguments::ReplyText text = ExifToolArguments::replyText(reply.errors, *photoName);
    for (const QString& warning : text.warnings)
        qCInfo(lcMetadata).noquote() << "exiftool on" << path << "-" << warning;
    QFile output(written.path());
    if (text.error || !output.open(QIODevice::ReadOnly)) {
        // exiftool words a full disk as a failed write ("Error writing output
        // file"); the file system tells it as the other writers say it.
        if (!hasRoomFor(targetFolder, original.size())) {
            result.saveError = FileReplacer::errorText(ENOSPC);
            return result;
        }
        result.refusal = text.error.value_or(
            u"exiftool made no file of this photo; the photo was not changed."_s);
        qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << *result.refusal;
        return result;
    }
    const QByteArray bytes = output.readAll();
    output.close();
    result.refusal = verifyWrittenMetadata(result.before, expected, result.edited, path, bytes, original);
    if (result.refusal) {
        qCWarning(lcMetadata).noquote() << "Not written:" << path << "-" << *result.refusal;
        return result;
    }
    result.saveError = FileReplacer::replace(target, bytes, options);
    keepXmpPacketOf(result.before, path);
    return result;
}

} // namespace ExifWriterEditing
