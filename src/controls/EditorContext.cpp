#include "controls/EditorContext.h"

#include "controls/AttachedPopupTable.h"

namespace {

// Sets `field` and emits `changed` only when the value is new.
template <typename Signal> void update(EditorContext* context, bool& field, bool value, Signal changed)
{
    if (field == value)
        return;
    field = value;
    emit(context->*changed)(value);
}

} // namespace

EditorContext::EditorContext(QObject* parent)
    : QObject(parent)
    , m_popup(new AttachedPopupTable(this))
{
}

EditorContext::~EditorContext()
{
    m_popup->discard();
}

void EditorContext::batchListDidChange()
{
    emit batchListChanged();
}

void EditorContext::setCheckedPhotos(const PhotoList& photos)
{
    if (photos == m_checkedPhotos)
        return;
    m_checkedPhotos = photos;
    emit checkedPhotosChanged();
}

void EditorContext::setVeiled(bool veiled)
{
    update(this, m_veiled, veiled, &EditorContext::veiledChanged);
}

void EditorContext::setBusy(bool busy)
{
    update(this, m_busy, busy, &EditorContext::busyChanged);
}

void EditorContext::setSubWindowOpened(bool opened)
{
    update(this, m_subWindowOpened, opened, &EditorContext::subWindowOpenedChanged);
}

void EditorContext::setRenamingPageShown(bool shown)
{
    update(this, m_renamingPageShown, shown, &EditorContext::renamingPageShownChanged);
}

void EditorContext::setRenamingInForce(bool inForce)
{
    update(this, m_renamingInForce, inForce, &EditorContext::renamingInForceChanged);
}

void EditorContext::setFormEdited(bool edited)
{
    update(this, m_formEdited, edited, &EditorContext::formEditedChanged);
}

void EditorContext::setLoading(bool shown, const QString& text)
{
    if (shown == m_loading && (!shown || text == m_loadingText))
        return;
    m_loading = shown;
    if (shown)
        m_loadingText = text;
    emit loadingChanged(shown);
}

void EditorContext::setLoadingStoppable(bool stoppable)
{
    update(this, m_loadingStoppable, stoppable, &EditorContext::loadingStoppableChanged);
}

void EditorContext::setAcceptsDrops(bool accepts)
{
    update(this, m_acceptsDrops, accepts, &EditorContext::acceptsDropsChanged);
}
