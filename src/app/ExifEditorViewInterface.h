#pragma once

#include <QList>
#include <QUrl>

// What the main window asks of the editor view that fills it. The editor view
// (a QWidget) implements this interface; until it exists the main window holds a
// plain placeholder and treats it as an editor without edits that adds nothing.
class ExifEditorViewInterface {
public:
    virtual ~ExifEditorViewInterface() = default;
    // The form holds edits not yet applied or reverted.
    virtual bool isParamsChanged() const = 0;
    // Starts adding the chosen files, folders or photo libraries to the batch list.
    virtual void addPhotosFromPathUrls(const QList<QUrl>& urls, bool isiPhoto) = 0;
    // The add-photos window went: the editor sets itself up (each panel's set-up).
    virtual void initSetup() = 0;
};
