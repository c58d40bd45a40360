#pragma once

#include <QString>

// The rules and texts for the controls around the photo list: which buttons a
// change of the list or of its check marks enables, the loading texts, the
// small window of a removal without marked photos, and the tool tips.
class PhotoListControls {
public:
    // Process can start only while the view takes clicks and a photo is ticked.
    static bool processEnabled(bool viewEnabled, int totalPhotosSelected)
    {
        return viewEnabled && totalPhotosSelected != 0;
    }
    // After a check mark changed: Presets and the renaming button are enabled,
    // and Undo shown, only while photos are marked and the renaming page is not shown.
    static bool presetsAndNextEnabledAfterCheckMark(int totalPhotosSelected, bool onRenameOptionPage)
    {
        return totalPhotosSelected != 0 && !onRenameOptionPage;
    }
    // After photos were removed: Presets and the renaming button need photos.
    static bool presetsAndNextEnabledAfterRemoval(bool listEmpty) { return !listEmpty; }
    // Remove needs photos, whatever else enables the editor.
    static bool removeEnabled(bool listEmpty, bool editorEnabled) { return editorEnabled && !listEmpty; }

    // The loading overlay's texts.
    static QString importingText() { return QStringLiteral("Please Wait...\n Importing photos"); }
    static QString removingText() { return QStringLiteral("Removing Photos"); }
    static QString waitingText() { return QStringLiteral("Please Wait..."); }

    // Tool tips, by the buttons' object names.
    static QString toolTip(const QString& objectName);
};
