#include "app/ExifEditorView.h"

#include "app/AppDelegate.h"
#include "batch/list/PhotoListControls.h"
#include "batch/alerts/widgets/AlertSheet.h"
#include "batch/intake/widgets/LoadingOverlay.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/run/widgets/BatchController.h"
#include "controls/AttachedPopupTable.h"
#include "controls/EditorContext.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "presets/PresetListModel.h"

#include <QGridLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPhotoListWidth = 320;
constexpr int kBottomBarHeight = 56;

// Stands where a panel goes until that panel is built.
QWidget* placeholder(const QString& name, const QString& text, QWidget* parent)
{
    auto* view = new QWidget(parent);
    view->setObjectName(name);
    auto* label = new QLabel(text, view);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: #9a907c;"));
    auto* layout = new QVBoxLayout(view);
    layout->addWidget(label);
    return view;
}

} // namespace

ExifEditorView::ExifEditorView(AppDelegate& app, QWidget* parent)
    : QWidget(parent)
    , m_app(app)
    , m_context(app.editorContext())
{
    setObjectName(QStringLiteral("vwExifEditor"));
    buildLayout();
    m_alertSheet = new AlertSheet(this, m_app.presenter(), m_context, this);
    wireForm();
    wireBatch();
    wirePhotoList();
    wirePresets();
    wireMetaDataPopup();
    setToolTips();
    connect(&m_context, &EditorContext::veiledChanged, this, &ExifEditorView::applyVeil);
    connect(&m_context, &EditorContext::loadingChanged, this, &ExifEditorView::applyLoading);
    connect(&m_context, &EditorContext::loadingStoppableChanged, m_loading, &LoadingOverlay::setStopButtonVisible);
    if (m_context.isLoading())
        applyLoading(true);
    m_loading->setStopButtonVisible(m_context.isLoadingStoppable());

    m_app.isExifEditingFirstTime = true;
    // Until photos come in, the editor is veiled.
    enableView(false);
}

ExifEditorView::~ExifEditorView()
{
    // The panels call this view (the batch as its editor, the others through their
    // connections) until they are gone: they go first, in the order they came,
    // while the view is still whole.
    QList<QPointer<QObject>> children;
    for (QObject* child : QObject::children())
        children.append(child);
    for (const QPointer<QObject>& child : children)
        delete child.data();
}

void ExifEditorView::buildLayout()
{
    m_photoList = new PhotoListPanel(m_app, m_context, this);
    m_photoList->setFixedWidth(kPhotoListWidth);
    m_rightStack = new QStackedWidget(this);
    m_rightStack->setObjectName(QStringLiteral("stkEditorPages"));
    m_metaContainer = placeholder(QStringLiteral("vwMetaContainer"), tr("Metadata form"), m_rightStack);
    m_extentionView = placeholder(QStringLiteral("vwExtentionView"), tr("Output and renaming options"), m_rightStack);
    m_rightStack->addWidget(m_metaContainer);
    m_rightStack->addWidget(m_extentionView);
    m_bottomBar = placeholder(QStringLiteral("vwBottomBar"), QString(), this);
    m_bottomBar->setFixedHeight(kBottomBarHeight);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_photoList, 0, 0);
    layout->addWidget(m_rightStack, 0, 1);
    layout->addWidget(m_bottomBar, 1, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(0, 1);

    m_veil = new LoadingOverlay(this, false);
    m_veil->setObjectName(QStringLiteral("vwVeil"));
    m_loading = new LoadingOverlay(this);
    connect(m_loading, &LoadingOverlay::stopClicked, m_photoList, &PhotoListPanel::btnStopProcessTapped);
}

// The photo list's events reach the panels they concern.
void ExifEditorView::wirePhotoList()
{
    PhotoListPanel* list = m_photoList;
    connect(list, &PhotoListPanel::alertRequested, this, &ExifEditorView::showAlert);
    connect(list, &PhotoListPanel::listChanged, this, &ExifEditorView::processAfterAllPhotosAdded);
    connect(list, &PhotoListPanel::checkedPhotosChanged, this, &ExifEditorView::checkedPhotosChanged);
    // The editor's other buttons are off while its attached list is open, and come
    // back a moment after it closed (a click that closed it must not also press one).
    AttachedPopupTable* popup = &m_context.attachedPopup();
    connect(popup, &AttachedPopupTable::openChanged, this, [this](bool open) {
        if (open)
            disableEnableAllButtonsWhenDropdownOpen(true);
    });
    connect(popup, &AttachedPopupTable::buttonsReleased, this, [this] { disableEnableAllButtonsWhenDropdownOpen(false); });
    connect(list, &PhotoListPanel::formChangesDropped, this, [this] { isMetadataParamChanged(false); });
    connect(list, &PhotoListPanel::resetChosen, this, &ExifEditorView::btnResetTapped);
    connect(list, &PhotoListPanel::cleanMetadataChosen, this,
        [this] { changeViewAccordingToMetadataOtion(MetaDataObject::CleanMetadataInfo); });
    connect(list, &PhotoListPanel::batchListEmptied, this, [this] {
        if (MetadataFormView* form = metadataFormView())
            form->resetMetadata();
    });
    connect(list, &PhotoListPanel::renamingResetAgreed, m_batch, &BatchController::resetRenamingOptions);
    // Select All stands in the menu while an add panel is up.
    connect(list, &PhotoListPanel::addPanelOpen, &m_app, &AppDelegate::enableSelectAll);
}

void ExifEditorView::replacePlaceholder(QWidget*& slot, QWidget* panel)
{
    if (!panel || panel == slot)
        return;
    if (panel->objectName().isEmpty())
        panel->setObjectName(slot->objectName());
    QWidget* old = slot;
    if (old->parentWidget() == m_rightStack) {
        const int index = m_rightStack->indexOf(old);
        const bool current = m_rightStack->currentWidget() == old;
        m_rightStack->insertWidget(index, panel);
        m_rightStack->removeWidget(old);
        if (current)
            m_rightStack->setCurrentWidget(panel);
    } else if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        delete grid->replaceWidget(old, panel); // the old item is ours to delete
    }
    slot = panel;
    delete old;
    placeOverlays();
}

void ExifEditorView::setMetaContainer(QWidget* panel)
{
    replacePlaceholder(m_metaContainer, panel);
}

void ExifEditorView::setExtentionView(QWidget* panel)
{
    replacePlaceholder(m_extentionView, panel);
}

void ExifEditorView::setBottomBar(QWidget* panel)
{
    replacePlaceholder(m_bottomBar, panel);
}

void ExifEditorView::showRenamingPage(bool show)
{
    m_rightStack->setCurrentWidget(show ? m_extentionView : m_metaContainer);
}

bool ExifEditorView::isRenamingPageShown() const
{
    return m_rightStack->currentWidget() == m_extentionView;
}

void ExifEditorView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlays();
}

void ExifEditorView::placeOverlays()
{
    // The loading overlay covers the whole editor; the veil leaves the photo list
    // free, so that photos can still be added and dropped on a veiled editor.
    m_loading->setGeometry(rect());
    m_veil->setGeometry(QRect(m_rightStack->geometry().topLeft(), rect().bottomRight()));
    if (m_veil->isVisible())
        m_veil->raise();
    if (m_loading->isVisible())
        m_loading->raise();
}

// ---- ExifEditorViewInterface ----

bool ExifEditorView::isParamsChanged() const
{
    // A run in progress asks before the window closes, as unapplied edits do.
    const MetadataFormView* form = metadataFormView();
    return (form && form->isParamsChanged()) || isBatchRunning();
}

void ExifEditorView::addPhotosFromPathUrls(const QList<QUrl>& urls, bool)
{
    QStringList paths;
    for (const QUrl& url : urls)
        paths.append(url.isLocalFile() ? url.toLocalFile() : url.toString());
    m_photoList->requestAddition(paths);
}

// ---- Shared ----

void ExifEditorView::initSetup()
{
    if (MetadataFormView* form = metadataFormView())
        form->resetDatePanel();
    m_batch->initSetup();
    // The preset list may have been read again since the drop-down was made.
    if (m_presets)
        m_presets->model().reload();
    setToolTips();
    // The form shows the whole batch list after every set-up.
    setupUIForSelectedPhotoFiles(m_context.batchList());
}

void ExifEditorView::setToolTips()
{
    // The main buttons of every panel, found by their names wherever they sit.
    for (const char* name :
        { "btnRemovePhoto", "btnAddPhoto", "btnProcess", "btnPresets", "btnRestore", "btnReset", "btnNext" }) {
        const QString objectName = QString::fromLatin1(name);
        if (auto* button = findChild<QWidget*>(objectName))
            button->setToolTip(PhotoListControls::toolTip(objectName));
    }
}

void ExifEditorView::processAfterAllPhotosAdded()
{
    m_loading->setStopButtonVisible(false);
    m_context.setAcceptsDrops(true);
    m_batch->resetRenamingOptions();
    m_photoList->selectAllTableViewCellAndReload();
    initSetup();
    const bool empty = m_context.batchList().isEmpty();
    enableView(!empty);
    m_photoList->tableviewPhotosBoundDidChange();
    m_context.setLoading(false, {});
    m_photoList->updateCountLabel();
    if (!empty)
        showRenamingPage(false);
}

void ExifEditorView::applyLoading(bool shown)
{
    // Nothing is dropped on the editor while the overlay covers it.
    if (shown) {
        m_loadingBusy.emplace(m_context);
        m_loading->setGeometry(rect());
        m_loading->showLoading(m_context.loadingText());
        m_context.setAcceptsDrops(false);
    } else {
        m_loadingBusy.reset();
        m_loading->hide();
        m_context.setAcceptsDrops(true);
    }
}

bool ExifEditorView::isLoadingShown() const
{
    return m_loading->isVisible();
}

void ExifEditorView::enableView(bool enable)
{
    // A veil asked for again is drawn again; a new one reaches every panel.
    if (m_context.isVeiled() == !enable)
        applyVeil(!enable);
    m_context.setVeiled(!enable);
}

bool ExifEditorView::isViewEnabled() const
{
    return !m_context.isVeiled();
}

void ExifEditorView::applyVeil(bool veiled)
{
    const bool enable = !veiled;
    m_loading->setStopButtonVisible(false);
    if (enable) {
        m_veil->hide();
    } else {
        placeOverlays();
        m_veil->showVeil();
        if (m_loading->isVisible())
            m_loading->raise();
    }
    enableExifDataView(enable);
}

void ExifEditorView::showAlert(int tag, AlertAnswer answered)
{
    AlertCounts counts = m_photoList->alertCounts();
    if (m_batch)
        m_batch->addAlertCounts(counts);
    const bool shown = m_alertSheet->show(tag, counts, [this, answered = std::move(answered)](AlertButton button) {
        m_context.setAcceptsDrops(true);
        enableView(true);
        if (button == AlertButtonOk && m_context.batchList().isEmpty())
            processAfterAllPhotosAdded();
        if (answered)
            answered(button);
    });
    if (shown) {
        m_context.setAcceptsDrops(false);
        enableView(false);
    }
}

void ExifEditorView::checkedPhotosChanged()
{
    setupUIForSelectedPhotoFiles(m_context.checkedPhotos());
}

void ExifEditorView::btnMetaMoreOptionsTapped(QWidget* button)
{
    m_photoList->btnMetaMoreOptionsTapped(button);
}
