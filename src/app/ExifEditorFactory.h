#pragma once

class DragDropBox;
class QWidget;

// The seam where the editor view enters the main window. MainWindowController
// creates the view that fills its window through createExifEditorView() (unless a
// test hands it another factory), and the drop box of the add-photos window through
// createAddPhotosDropBox(). Each answers a widget named as the main window expects
// ("vwExifEditor", "leftBox"). The editor view implements ExifEditorViewInterface.
QWidget* createExifEditorView(QWidget* parent);
DragDropBox* createAddPhotosDropBox(QWidget* parent);
