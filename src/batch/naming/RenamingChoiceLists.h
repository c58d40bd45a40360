#pragma once

#include <QStringList>
#include <optional>

// The three short lists of the date part of a new name, shown in the renaming
// page's second pop-up table: where the date goes, which date, and its format.
class RenamingChoiceLists {
public:
    // The list types, shared with the form's drop-down lists.
    enum ListType : int { Position = 25, DateSource = 26, DateFormat = 27 };

    static constexpr int kRowHeight = 30;

    // The rows of a list type; no rows for any other type.
    static QStringList rows(int listType);

    // The list a date list button opens, by the button's tag (602 position, 603
    // source, 604 format).
    static std::optional<ListType> listForButtonTag(int tag);

    // The pop-up's height: 30 per row and 8 more for up to five rows, else 186 (it scrolls).
    static int popupHeight(int listType);
    // Its width beside a button of that width.
    static int popupWidth(int buttonWidth) { return buttonWidth - 2; }
};
