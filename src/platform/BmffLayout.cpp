#include "platform/BmffLayout.h"

#include <QFile>
#include <QtEndian>

using namespace Qt::Literals::StringLiterals;

namespace BmffLayout {

bool isBmff(QByteArrayView head)
{
    return head.size() >= 12 && head.sliced(4, 4) == "ftyp";
}

std::optional<QString> missingPart(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !isBmff(file.peek(12)))
        return std::nullopt;
    const qint64 size = file.size();
    qint64 at = 0;
    bool mediaData = false;
    while (at < size) {
        if (!file.seek(at))
            return std::nullopt;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        quint64 boxSize = qFromBigEndian<quint32>(header.constData());
        const QByteArray type = header.mid(4, 4);
        if (boxSize == 1) {
            if (header.size() < 16)
                return u"The photo's file ends inside its structure, so it cannot be written."_s;
            boxSize = qFromBigEndian<quint64>(header.constData() + 8);
        } else if (boxSize == 0) {
            boxSize = quint64(size - at);
        }
        if (boxSize < 8 || boxSize > quint64(size - at))
            return u"The photo's file ends inside its structure, so it cannot be written."_s;
        if (type == "mdat")
            mediaData = true;
        if (type == "meta" && boxSize < (64u << 20)) {
            const QByteArray meta = file.read(qint64(boxSize) - 16);
            mediaData = mediaData || meta.contains("idat");
        }
        at += qint64(boxSize);
    }
    if (!mediaData)
        return u"The photo's image data is not in its file (it was cut away), so it cannot be written."_s;
    return std::nullopt;
}

} // namespace BmffLayout
