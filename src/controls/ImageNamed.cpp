#include "controls/ImageNamed.h"

#include <QFile>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>

Q_LOGGING_CATEGORY(lcImages, "velloran.ui")

// Q_INIT_RESOURCE must be used at global scope.
static void initResourcesOnce()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(done);
}

void initVelloranResources()
{
    initResourcesOnce();
}

QString imageResourcePath(const QString& name)
{
    QString base = name;
    if (base.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        base.chop(4);
    return QStringLiteral(":/icons/") + base + QStringLiteral(".svg");
}

bool hasImageNamed(const QString& name)
{
    initResourcesOnce();
    return QFile::exists(imageResourcePath(name));
}

QPixmap imageNamed(const QString& name, const QSize& size, qreal devicePixelRatio)
{
    initResourcesOnce();
    if (name.isEmpty() || size.isEmpty())
        return {};
    const QString key
        = QStringLiteral("velloran:%1:%2x%3@%4").arg(name).arg(size.width()).arg(size.height()).arg(devicePixelRatio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;

    const QString path = imageResourcePath(name);
    QSvgRenderer renderer;
    if (!QFile::exists(path) || !renderer.load(path)) {
        static QSet<QString> warned;
        if (!warned.contains(name)) {
            warned.insert(name);
            qCWarning(lcImages) << "no interface image named" << name;
        }
        return {};
    }
    pixmap = QPixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon fileTypeIcon(const QStringList& iconNames)
{
    for (const QString& name : iconNames) {
        const QIcon icon = QIcon::fromTheme(name);
        if (!icon.isNull())
            return icon;
    }
    return {};
}

QPixmap fileTypeImage(const QStringList& iconNames, const QSize& size, qreal devicePixelRatio)
{
    if (const QIcon icon = fileTypeIcon(iconNames); !icon.isNull())
        return icon.pixmap(size, devicePixelRatio);
    return imageNamed(QStringLiteral("photo_file.png"), size, devicePixelRatio);
}
