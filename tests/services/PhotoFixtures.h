#pragma once

#include <QDir>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <exiv2/exiv2.hpp>
#include <functional>
#include <memory>

// Photos the tests make themselves, in a temporary folder.

// A small JPEG without any metadata.
inline QString makeJpeg(
    const QTemporaryDir& dir, const QString& name = QStringLiteral("photo.jpg"), int width = 16, int height = 16)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    image.save(path, "JPEG");
    return path;
}

// Opens the photo with exiv2, lets edit change its metadata and writes it back.
inline void editMetadata(const QString& path, const std::function<void(Exiv2::Image&)>& edit)
{
    std::unique_ptr<Exiv2::Image> image(
        Exiv2::ImageFactory::open(QDir::toNativeSeparators(path).toStdString()).release());
    image->readMetadata();
    edit(*image);
    image->writeMetadata();
}

// A value of the given type read from exiv2's text form ("28/10", "1 2 3").
inline void addExif(Exiv2::ExifData& exif, const char* key, Exiv2::TypeId type, const std::string& text)
{
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(type).release());
    value->read(text);
    exif.add(Exiv2::ExifKey(key), value.get());
}

// One more dataset with this key, after any that are there already.
inline void addIptc(Exiv2::IptcData& iptc, const char* key, const std::string& text)
{
    Exiv2::StringValue value(text);
    iptc.add(Exiv2::IptcKey(key), &value);
}
