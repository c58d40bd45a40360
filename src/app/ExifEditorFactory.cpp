#include "app/ExifEditorFactory.h"

#include <QFrame>
#include <QWidget>

QWidget* createExifEditorView(QWidget* parent)
{
    auto* view = new QWidget(parent);
    view->setObjectName(QStringLiteral("vwExifEditor"));
    return view;
}

QWidget* createAddPhotosDropBox(QWidget* parent)
{
    auto* box = new QFrame(parent);
    box->setObjectName(QStringLiteral("leftBox"));
    return box;
}
