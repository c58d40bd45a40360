#include "services/ExifInfo.h"
#include "services/Utils.h"
#include "platform/ImageDecoder.h"
#include "platform/ImageProperties.h"
#include "platform/VectorImageSize.h"

#include <QPainter>
#include <QRegularExpression>

namespace {

// The pixel size as shown, from a summary already built for the path.
QSizeF shownPixelSize(const ExifInfo& info, const QString& path)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^\s*([0-9.]+) x ([0-9.]+)\s*$)"));
    const QRegularExpressionMatch match = pattern.match(info.imageSize);
    const QSizeF stored
        = match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble()) : QSizeF(0, 0);
    if (Utils::isQuarterTurn(info.orientation))
        return stored.transposed();
    const QSizeF vector = VectorImageSize::sizeForExtension(path);
    return { vector.width() > 0 ? vector.width() : stored.width(),
        vector.height() > 0 ? vector.height() : stored.height() };
}

QSize pixels(QSizeF size)
{
    return { qMax(1, qRound(size.width())), qMax(1, qRound(size.height())) };
}

} // namespace

QImage Utils::getThumbnailImageAtFilePath(const QString& path, QSizeF size) const
{
    // A zero request or a zero picture has nothing to draw: the caller shows its placeholder.
    if (path.isEmpty() || !(size.width() > 0) || !(size.height() > 0))
        return {};
    const ExifInfo info(path);
    QSizeF target = shownPixelSize(info, path);
    if (!(target.width() > 0) || !(target.height() > 0))
        return {};
    if (!(size.width() > target.width() && size.height() > target.height()))
        target = aspectFitSizeWithMaxSize(target, size.width());
    const QImage image = ImageDecoder::uprightImage(path, pixels(target), info.orientation);
    if (image.isNull())
        return {};
    return addBackgroundToImage(scaleImage(image, QSizeF(pixels(target))), Qt::white);
}

QImage Utils::getImageFromFile(const QString& path, float minWidth, float minHeight) const
{
    if (path.isEmpty() || !(minWidth > 0) || !(minHeight > 0))
        return {};
    const ExifInfo info(path);
    const QSizeF shown = shownPixelSize(info, path);
    if (!(shown.width() > 0) || !(shown.height() > 0))
        return {};
    const QSizeF box = aspectFitSizeWithMaxSize(shown, minWidth);
    const QImage image = ImageDecoder::uprightImage(path, pixels(box), info.orientation);
    if (image.isNull())
        return {};
    return scaleImage(image, QSizeF(pixels(box)));
}

QSizeF Utils::getImageOriginalSizeAtFilePathUrl(const QString& path) const
{
    return shownPixelSize(ExifInfo(path), path);
}

QVariantMap Utils::exifForFile(const QString& path) const
{
    return ImageProperties::propertiesForFile(path);
}

QImage Utils::addBackgroundToImage(const QImage& image, const QColor& color) const
{
    if (image.isNull())
        return {};
    QImage result(image.size(), QImage::Format_RGB32);
    result.fill(color);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, image);
    return result;
}

QImage Utils::scaleImage(const QImage& image, QSizeF newSize) const
{
    if (image.isNull() || !(newSize.width() > 0) || !(newSize.height() > 0))
        return image;
    const QSize wanted = pixels(newSize);
    if (wanted == image.size())
        return image;
    return image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QSizeF Utils::aspectFitSizeWithMaxSize(QSizeF size, double scaledWidth) const
{
    const float width = float(size.width());
    if (!(width > 0))
        return { 0, 0 };
    const float scale = float(scaledWidth) / width;
    return { double(width * scale), double(float(size.height()) * scale) };
}

QSizeF Utils::aspectFitSizeWithMaxHeight(QSizeF size, double scaledHeight) const
{
    const float height = float(size.height());
    if (!(height > 0))
        return { 0, 0 };
    const float scale = float(scaledHeight) / height;
    return { double(float(size.width()) * scale), double(height * scale) };
}

QSizeF Utils::getAspectFitModeSizeWithsize(QSizeF size, QSizeF toSize) const
{
    const float width = float(size.width());
    const float height = float(size.height());
    if (!(width > 0) || !(height > 0))
        return { 0, 0 };
    const float scale = width > height ? float(toSize.width()) / width : float(toSize.height()) / height;
    QSizeF fitted(double(width * scale), double(height * scale));
    if (fitted.width() > toSize.width())
        fitted = aspectFitSizeWithMaxSize(fitted, toSize.width());
    if (fitted.height() > toSize.height())
        fitted = aspectFitSizeWithMaxHeight(fitted, toSize.height());
    return fitted;
}

QImage Utils::getAspectFillImageFormImage(const QImage& image, QSizeF size, int cropMode) const
{
    const QSizeF fit = getAspectFitModeSizeWithsize(QSizeF(image.size()), size);
    if (image.isNull() || fit.isEmpty())
        return image;
    const float boxWidth = float(size.width());
    const float boxHeight = float(size.height());
    const float fitWidth = float(fit.width());
    const float fitHeight = float(fit.height());
    float scale = 1;
    if (fitWidth > fitHeight)
        scale = boxWidth > boxHeight ? boxWidth / fitWidth : boxHeight / fitHeight;
    else if (fitWidth < fitHeight)
        scale = boxWidth / fitWidth;
    else if (boxWidth != boxHeight)
        scale = boxWidth > boxHeight ? boxWidth / fitWidth : boxHeight / fitHeight;
    const double scaledWidth = double(fitWidth * scale);
    const double scaledHeight = double(fitHeight * scale);
    QImage result = image;
    if (size.width() > image.width() || size.height() > image.height())
        result = resizeImage(result, int(scaledWidth), int(scaledHeight));
    if (scaledWidth > size.width() || scaledHeight > size.height()) {
        const double x = (scaledWidth - size.width()) * 0.5;
        // Mode 0 keeps the top rows, mode 2 the bottom rows, any other the middle.
        double y = (scaledHeight - size.height()) * 0.5;
        if (cropMode == 0)
            y = 0;
        else if (cropMode == 2)
            y = scaledHeight - size.height();
        result = cropImage(result, QRectF(QPointF(x, y), size));
    }
    return result;
}

QImage Utils::cropImage(const QImage& image, QRectF cropRect) const
{
    if (!(cropRect.width() > 0) || !(cropRect.height() > 0))
        return image;
    return image.copy(cropRect.toRect());
}

QImage Utils::resizeImage(const QImage& image, int width, int height) const
{
    if (width <= 0 || height <= 0)
        return {};
    return image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QRectF Utils::centerRect(QRectF rect, QRectF inRect)
{
    rect.moveTopLeft(QPointF(inRect.center().x() - rect.width() * 0.5, inRect.center().y() - rect.height() * 0.5));
    return rect;
}
