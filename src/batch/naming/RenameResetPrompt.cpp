#include "batch/naming/RenameResetPrompt.h"

RenameResetPrompt::RenameResetPrompt(Store store, Actions actions)
    : m_store(std::move(store))
    , m_actions(std::move(actions))
{
}

bool RenameResetPrompt::renamingInForce(bool editOriginalNameOn, bool onRenameOptionPage, bool renameToastVisible)
{
    return (editOriginalNameOn && onRenameOptionPage) || renameToastVisible;
}

bool RenameResetPrompt::mustAsk(bool inForce) const
{
    return inForce && !(m_store.dontShow && m_store.dontShow());
}

bool RenameResetPrompt::requestAddition(const QStringList& paths, bool inForce)
{
    // A new request replaces one still waiting.
    m_heldPaths.clear();
    m_pending = Request::None;
    if (!mustAsk(inForce))
        return true;
    m_heldPaths = paths;
    m_pending = Request::Addition;
    return false;
}

bool RenameResetPrompt::requestRemoval(bool byMenu, bool inForce)
{
    m_heldPaths.clear();
    m_pending = Request::None;
    if (!mustAsk(inForce))
        return true;
    m_pending = byMenu ? Request::RemovalByMenu : Request::RemovalByButton;
    return false;
}

void RenameResetPrompt::saveChoice(bool dontShowAgain)
{
    if (dontShowAgain && m_store.setDontShow)
        m_store.setDontShow(true);
}

void RenameResetPrompt::answerYes(bool dontShowAgain)
{
    saveChoice(dontShowAgain);
    const Request request = m_pending;
    const QStringList paths = m_heldPaths;
    m_pending = Request::None;
    m_heldPaths.clear();
    switch (request) {
    case Request::Addition:
        // The reset comes first: the adding's own completion must find keep mode.
        if (m_actions.resetRenaming)
            m_actions.resetRenaming();
        if (m_actions.addPhotos)
            m_actions.addPhotos(paths);
        break;
    case Request::RemovalByButton:
        if (m_actions.removePhotosForRemoveButton)
            m_actions.removePhotosForRemoveButton();
        break;
    case Request::RemovalByMenu:
        if (m_actions.removePhotoForMenuOption)
            m_actions.removePhotoForMenuOption();
        break;
    case Request::None:
        break;
    }
}

void RenameResetPrompt::answerNo(bool dontShowAgain)
{
    saveChoice(dontShowAgain);
    m_pending = Request::None;
    m_heldPaths.clear();
}
