#include "app/ExifEditorFactory.h"

#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "batch/intake/widgets/DragDropBox.h"

QWidget* createExifEditorView(QWidget* parent)
{
    return new ExifEditorView(*AppDelegate::shared(), parent);
}

DragDropBox* createAddPhotosDropBox(QWidget* parent)
{
    auto* box = new DragDropBox(parent);
    box->setPresenterSource([] { return AppDelegate::shared() ? &AppDelegate::shared()->presenter() : nullptr; });
    return box;
}
