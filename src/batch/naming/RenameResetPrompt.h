#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The question asked before photos are added or removed while renaming is in
// force (each completed adding or removal puts renaming back to keeping the
// names). It holds the request back until the user answers. The setting that
// stops the asking is read and written through the store it is given.
class RenameResetPrompt {
public:
    // Where the "don't show again" answer lives (the user defaults); setDontShow
    // saves at once.
    struct Store {
        std::function<bool()> dontShow;
        std::function<void(bool)> setDontShow;
    };

    // What Yes carries out; called in this order.
    struct Actions {
        std::function<void()> resetRenaming; // an addition: renaming back to keep mode first
        std::function<void(const QStringList&)> addPhotos; // then the held-back paths
        std::function<void()> removePhotosForRemoveButton;
        std::function<void()> removePhotoForMenuOption;
    };

    enum class Request { None, Addition, RemovalByButton, RemovalByMenu };

    RenameResetPrompt(Store store, Actions actions);

    // Renaming is in force when the edit switch is on while the renaming page is
    // shown, or when the renaming notice is visible.
    static bool renamingInForce(bool editOriginalNameOn, bool onRenameOptionPage, bool renameToastVisible);

    // An addition: true when it goes ahead now (the caller adds the paths), false
    // when it is held back and the question must be shown.
    bool requestAddition(const QStringList& paths, bool inForce);
    // A removal: true when it goes ahead now, false when the question must be shown.
    bool requestRemoval(bool byMenu, bool inForce);

    // The answers. "Do not show again" is saved whichever button was pressed.
    void answerYes(bool dontShowAgain);
    void answerNo(bool dontShowAgain);

    Request pending() const { return m_pending; }
    const QStringList& heldPaths() const { return m_heldPaths; }

private:
    bool mustAsk(bool inForce) const;
    void saveChoice(bool dontShowAgain);

    Store m_store;
    Actions m_actions;
    Request m_pending = Request::None;
    QStringList m_heldPaths;
};
