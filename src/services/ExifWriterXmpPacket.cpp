#include "services/ExifWriterEditing.h"
#include "base/Logging.h"
#include "platform/Exiv2Adapter.h"

#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <QStringDecoder>
#include <exiv2/exiv2.hpp>

using namespace Qt::Literals::StringLiterals;

namespace {

// Stands for an empty item of a language alternative while exiv2 serialises, since
// it leaves such items out; no photo's text holds it.
const std::string kEmptyItem = "velloran-empty-item-5c1e0b7d";

// The packet as text; a packet may be UTF-16, as older writers made it.
QString packetText(const std::string& packet)
{
    const QByteArrayView bytes(packet.data(), qsizetype(packet.size()));
    QStringDecoder decoder(QStringConverter::encodingForData(bytes, u'<').value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}

// The about of the packet's first description, as the packet writes it; older
// writers name the attribute without its prefix.
QString aboutOf(const QString& packet)
{
    static const QRegularExpression about(uR"((?<![\w:])(?:rdf:)?about\s*=\s*(["'])([^"']*)\1)"_s);
    const QRegularExpressionMatch match = about.match(packet);
    return match.hasMatch() ? match.captured(2) : QString();
}

const QRegularExpression& namespaceDeclaration()
{
    static const QRegularExpression declaration(uR"(xmlns:([\w.-]+)\s*=\s*(["'])([^"']*)\2)"_s);
    return declaration;
}

// exiv2 reads a namespace whose URI lacks the closing "/" as its own with it
// ("http://ns.microsoft.com/photo/1.0" as the Microsoft Photo schema) and declares
// it with its own URI when it writes, which readers take for another namespace or
// correct. Each prefix the photo declared so goes back to the photo's URI.
void keepOwnNamespaceUris(std::string& packet, const QString& ownPacket)
{
    QHash<QString, QString> own;
    for (const QRegularExpressionMatch& match : namespaceDeclaration().globalMatch(ownPacket))
        own.insert(match.captured(1), match.captured(3));
    if (own.isEmpty())
        return;
    QString text = QString::fromStdString(packet);
    bool changed = false;
    for (qsizetype from = 0;;) {
        const QRegularExpressionMatch match = namespaceDeclaration().match(text, from);
        if (!match.hasMatch())
            break;
        const auto ownUri = own.constFind(match.captured(1));
        if (ownUri == own.cend() || match.captured(3) != *ownUri + u'/') {
            from = match.capturedEnd();
            continue;
        }
        text.replace(match.capturedStart(3), match.capturedLength(3), *ownUri);
        from = match.capturedStart(3) + ownUri->size();
        changed = true;
    }
    if (changed)
        packet = text.toStdString();
}

} // namespace

namespace ExifWriterEditing {

// The XMP toolkit takes a "uuid:" about into xmpMM:InstanceID when the packet has
// none; that copy goes again before serialising, so that the photo gains no
// property, and the about it came from is written back.
std::optional<std::string> xmpPacketKeepingOwnParts(
    const Exiv2::XmpData& xmpData, const std::string& ownPacket, bool readBackFollows)
{
    Exiv2::XmpData data = xmpData;
    const QString ownText = packetText(ownPacket);
    const QString about = aboutOf(ownText);
    if (about.startsWith(u"uuid:"_s) && ownPacket.find("InstanceID") == std::string::npos) {
        const auto instance = data.findKey(Exiv2::XmpKey("Xmp.xmpMM.InstanceID"));
        if (instance != data.end() && QString::fromStdString(instance->toString()) == about)
            data.erase(instance);
    }
    bool hasEmptyItem = false;
    for (Exiv2::Xmpdatum& datum : data) {
        if (datum.typeId() != Exiv2::langAlt)
            continue;
        Exiv2::LangAltValue value = dynamic_cast<const Exiv2::LangAltValue&>(datum.value());
        bool changed = false;
        for (auto& item : value.value_) {
            if (item.second.empty()) {
                item.second = kEmptyItem;
                changed = true;
            }
        }
        if (changed) {
            datum.setValue(&value);
            hasEmptyItem = true;
        }
    }

    // The packet goes into the photo as exiv2 makes it unless one of the steps below
    // changes it; the verification then reads back exactly this packet.
    const bool writtenAsMade = readBackFollows && about.isEmpty() && !hasEmptyItem;
    std::string packet;
    if (Exiv2Adapter::encodeXmp(packet, data, writtenAsMade) != 0)
        return std::nullopt;
    if (hasEmptyItem) {
        for (auto at = packet.find(kEmptyItem); at != std::string::npos; at = packet.find(kEmptyItem, at))
            packet.erase(at, kEmptyItem.size());
    }
    keepOwnNamespaceUris(packet, ownText);
    if (!about.isEmpty()) {
        const std::string written = "rdf:about=\"" + QString(about).replace(u'"', u"&quot;"_s).toStdString() + '"';
        static const std::string empty = "rdf:about=\"\"";
        for (auto at = packet.find(empty); at != std::string::npos; at = packet.find(empty, at + written.size()))
            packet.replace(at, empty.size(), written);
    }
    return packet;
}

} // namespace ExifWriterEditing
