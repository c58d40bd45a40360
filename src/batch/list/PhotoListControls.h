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
    // Presets and the renaming button are enabled together: only while photos are
    // marked, the renaming page is not shown, the editor takes clicks and no run is
    // being asked for or running.
    static bool presetsAndNextEnabled(bool veiled, bool busy, bool onRenameOptionPage, int totalPhotosSelected)
    {
        return !veiled && !busy && !onRenameOptionPage && totalPhotosSelected != 0;
    }
    // Remove needs photos, whatever else enables the editor.
    static bool removeEnabled(bool listEmpty, bool editorEnabled) { return editorEnabled && !listEmpty; }

    // The loading overlay's texts.
    static QString importingText() { return QStringLiteral("Please Wait...\n Importing photos"); }
    static QString removingText() { return QStringLiteral("Removing Photos"); }

    // Tool tips, by the buttons' object names.
    static QString toolTip(const QString& objectName);
};
