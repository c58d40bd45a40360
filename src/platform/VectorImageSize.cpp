#include "platform/VectorImageSize.h"

#include "base/Logging.h"
#include "platform/OpenablePhotoPath.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

namespace {

constexpr qint64 kScanLength = 64 * 1024;

// The size named by the first "%%BoundingBox:" line of the text; "(atend)" and a
// malformed line answer an empty size.
QSizeF boundingBoxIn(const QByteArray& text)
{
    static const QRegularExpression line(QStringLiteral(
        R"(%%BoundingBox:[ \t]*([-+]?[0-9.]+)[ \t]+([-+]?[0-9.]+)[ \t]+([-+]?[0-9.]+)[ \t]+([-+]?[0-9.]+))"));
    const QRegularExpressionMatch match = line.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return {};
    const double width = match.captured(3).toDouble() - match.captured(1).toDouble();
    const double height = match.captured(4).toDouble() - match.captured(2).toDouble();
    if (width <= 0 || height <= 0)
        return {};
    return { width, height };
}

} // namespace

QSizeF VectorImageSize::epsBoundingBoxSize(const QString& path)
{
    const QString openable = openablePhotoPath(path);
    QFile file(openable);
    if (openable.isEmpty() || !openRegularFile(file))
        return {};
    qint64 start = 0;
    qint64 length = file.size();
    const QByteArray head = file.read(12);
    // A DOS EPS binary header says where the PostScript part lies.
    if (head.size() == 12 && quint8(head[0]) == 0xC5 && quint8(head[1]) == 0xD0 && quint8(head[2]) == 0xD3
        && quint8(head[3]) == 0xC6) {
        start = qFromLittleEndian<quint32>(head.constData() + 4);
        length = qFromLittleEndian<quint32>(head.constData() + 8);
        if (start + length > file.size())
            return {};
    }
    if (!file.seek(start))
        return {};
    QSizeF size = boundingBoxIn(file.read(qMin(length, kScanLength)));
    if (size.isEmpty() && length > kScanLength && file.seek(start + length - kScanLength))
        size = boundingBoxIn(file.read(kScanLength));
    qCDebug(lcMetadata) << "epsDict =" << path << size;
    return size;
}

QSizeF VectorImageSize::pictFrameSize(const QString& path)
{
    const QString openable = openablePhotoPath(path);
    QFile file(openable);
    if (openable.isEmpty() || !openRegularFile(file))
        return {};
    // Files from disk carry a 512-byte header before the picture; clipboard copies don't.
    for (qint64 offset : { qint64(512), qint64(0) }) {
        if (!file.seek(offset))
            continue;
        const QByteArray record = file.read(10);
        if (record.size() < 10)
            continue;
        const auto top = qFromBigEndian<qint16>(record.constData() + 2);
        const auto left = qFromBigEndian<qint16>(record.constData() + 4);
        const auto bottom = qFromBigEndian<qint16>(record.constData() + 6);
        const auto right = qFromBigEndian<qint16>(record.constData() + 8);
        if (right > left && bottom > top) {
            const QSizeF size(right - left, bottom - top);
            qCDebug(lcMetadata) << "epsDict =" << path << size;
            return size;
        }
    }
    return {};
}

QSizeF VectorImageSize::sizeForExtension(const QString& path)
{
    const QString extension = QFileInfo(path).suffix();
    if (extension == QLatin1String("eps") || extension == QLatin1String("EPS"))
        return epsBoundingBoxSize(path);
    if (extension == QLatin1String("pict") || extension == QLatin1String("PICT") || extension == QLatin1String("pct")
        || extension == QLatin1String("PCT"))
        return pictFrameSize(path);
    return {};
}
