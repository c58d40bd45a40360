#include "app/ExifEditorFactory.h"

#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "batch/intake/widgets/DragDropBox.h"

QWidget* createExifEditorView(QWidget* parent)
{
    return new ExifEditorView(*AppDelegate::shared(), parent);
}

QWidget* createAddPhotosDropBox(QWidget* parent)
{
    return new DragDropBox(parent);
}
