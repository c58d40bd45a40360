#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// Interface images by the names the interface uses ("close-normal",
// "place_holder.png", "chckbox_sel copy"): each is an SVG of ours under
// resources/icons, named without any ".png". Rendered at the screen's pixel ratio
// and cached. An unknown name gives a null pixmap and one warning.
QPixmap imageNamed(const QString& name, const QSize& size, qreal devicePixelRatio = 1.0);

// The desktop icon theme's first icon of those names (a file's type, most
// particular first); null when the theme has none. Main thread only: the icon
// theme is not thread-safe.
QIcon fileTypeIcon(const QStringList& iconNames);
// What stands in for the picture of a file without one: fileTypeIcon, else our
// picture of a photo file. Main thread only.
QPixmap fileTypeImage(const QStringList& iconNames, const QSize& size, qreal devicePixelRatio = 1.0);

// Whether an image of that name exists.
bool hasImageNamed(const QString& name);

// The resource path of an image name, e.g. ":/icons/close-normal.svg".
QString imageResourcePath(const QString& name);

// Makes the compiled-in resources available; safe to call more than once.
void initVelloranResources();
