#include "batch/list/widgets/PhotoListPanel.h"

#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "base/Logging.h"
#include "batch/intake/PhotoAcceptance.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/list/PhotoListControls.h"
#include "batch/list/PhotoListMenus.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/ThumbnailCache.h"
#include "batch/intake/widgets/DragDropBox.h"
#include "batch/list/widgets/PhotoThumbnailCell.h"
#include "batch/naming/widgets/ResetRenamePrompt.h"
#include "controls/AttachedPopupTable.h"
#include "controls/BusyPresenter.h"
#include "controls/EditorContext.h"
#include "controls/FileManagerBus.h"
#include "controls/Presenter.h"
#include "controls/UniformListView.h"
#include "controls/WindowServices.h"
#include "model/PhotoFile.h"
#include "platform/Trash.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

namespace {

// X11's key symbol of the right Control key, where the platform reports it.
constexpr quint32 kRightControlKeySym = 0xffe4;

RenameResetPrompt::Store storeOver(WindowServices& services)
{
    return { [&services] { return services.defaults().notShowRenameResetPopup(); },
        [&services](bool value) {
            services.defaults().setNotShowRenameResetPopup(value);
            services.defaults().synchronize();
        } };
}

// Holds back the hand-off of check marks to the form while the list changes on
// the panel's own account; the refresh that follows hands them on once.
class Quiet {
public:
    explicit Quiet(int& depth)
        : m_depth(depth)
    {
        ++m_depth;
    }
    ~Quiet() { --m_depth; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

private:
    int& m_depth;
};

QPushButton* listButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFixedHeight(26);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

PhotoListPanel::PhotoListPanel(WindowServices& services, EditorContext& context, QWidget* editor)
    : QWidget(editor)
    , m_services(services)
    , m_context(context)
    , m_resetRequest(storeOver(services),
          { [this] {
               // An addition while renaming was in force: renaming goes back to keep mode first.
               m_context.setRenamingPageShown(false);
               emit renamingResetAgreed();
           },
              [this](const QStringList& paths) { addPhotosFromPathUrls(paths); },
              [this] { removePhotosForRemoveButton(); }, [this] { removePhotoForMenuOption(); } })
{
    setObjectName(QStringLiteral("vwPhotoList"));
    m_model = new PhotoListModel(context.batchList(), this);
    m_thumbnails = new ThumbnailCache(ThumbnailCache::defaultThumbnailSize(), ThumbnailCache::kDefaultMaxBytes, this);
    m_model->setThumbnailCache(m_thumbnails);
    m_intake = new PhotoIntake(*m_model, this);
    m_resetSheet = new ResetRenamePrompt(parentWidget());
    connect(m_resetSheet, &ResetRenamePrompt::answeredYes, this,
        [this](bool dontShowAgain) { answeredResetRename(true, dontShowAgain); });
    connect(m_resetSheet, &ResetRenamePrompt::answeredNo, this,
        [this](bool dontShowAgain) { answeredResetRename(false, dontShowAgain); });

    buildWidgets();

    // Remove follows the editor's veil, the drop box whether drops are taken.
    connect(&context, &EditorContext::veiledChanged, this, [this](bool veiled) { setRemoveButtonEnabled(!veiled); });
    m_leftBox->setDraggingEnable(context.acceptsDrops());
    connect(&context, &EditorContext::acceptsDropsChanged, m_leftBox, &DragDropBox::setDraggingEnable);

    connect(m_intake, &PhotoIntake::finished, this, &PhotoListPanel::intakeFinished);
    connect(m_intake, &PhotoIntake::libraryAlert, this, [this](const PhotoLibraryAlert& alert) {
        m_pendingLibraryAlerts.append(alert);
        if (!m_libraryAlertOpen)
            showNextIntakeAlert();
    });
    connect(m_model, &PhotoListModel::checkedPhotosChanged, this, &PhotoListPanel::checkMarksChanged);
    connect(m_model, &PhotoListModel::countChanged, this, &PhotoListPanel::updateCountLabel);
    connect(m_model, &PhotoListModel::countChanged, &context, &EditorContext::batchListDidChange);
    connect(m_model, &PhotoListModel::missingPhotoScanFinished, this, [this](int removed) {
        qCInfo(lcBatch) << "photos missing at their source removed:" << removed;
        --m_quiet;
        publishCheckedPhotos();
        m_context.setLoading(false, {});
        m_context.setSubWindowOpened(false);
        emit listChanged();
    });

    m_animationtimer.setSingleShot(true);
    m_animationtimer.setInterval(200);
    connect(&m_animationtimer, &QTimer::timeout, this, &PhotoListPanel::loadTableViewThumbnailImages);

    connect(m_leftBox, &DragDropBox::filesDropped, this, &PhotoListPanel::requestAddition);
    updateCountLabel();
}

PhotoListPanel::~PhotoListPanel()
{
    popup().dismissPanel();
    m_intakeRegistration.reset();
    // The adding's worker ends before the model it fills goes.
    delete m_intake;
    m_intake = nullptr;
}

void PhotoListPanel::buildWidgets()
{
    m_lblPhotosCount = new QLabel(this);
    m_lblPhotosCount->setObjectName(QStringLiteral("lblPhotosCount"));
    QFont countFont = m_lblPhotosCount->font();
    countFont.setBold(true);
    m_lblPhotosCount->setFont(countFont);
    m_lblPhotosCount->setStyleSheet(QStringLiteral("color: #e6e1d6;"));
    m_btnAddPhoto = listButton(this, QStringLiteral("btnAddPhoto"), QStringLiteral("+"));
    m_btnRemovePhoto = listButton(this, QStringLiteral("btnRemovePhoto"), QStringLiteral("\u2212"));
    m_btnAddPhoto->setFixedWidth(30);
    m_btnRemovePhoto->setFixedWidth(30);
    m_btnRemovePhoto->setEnabled(false);
    m_checkMarkUnmarkAll = new QCheckBox(tr("Mark/Unmark All"), this);
    m_checkMarkUnmarkAll->setObjectName(QStringLiteral("checkMarkUnmarkAll"));
    m_checkMarkUnmarkAll->setStyleSheet(QStringLiteral("color: #e6e1d6;"));

    m_leftBox = new DragDropBox(this);
    m_leftBox->setPresenterSource([this] { return &m_services.presenter(); });
    m_leftBox->setFrameShape(QFrame::StyledPanel);
    m_tblPhotos = new UniformListView(m_leftBox);
    m_tblPhotos->setObjectName(QStringLiteral("tblPhotos"));
    m_tblPhotos->setModel(m_model);
    m_cell = new PhotoThumbnailCell(parentWidget(), m_tblPhotos);
    m_tblPhotos->setItemDelegate(m_cell);
    m_tblPhotos->setSelectionMode(QAbstractItemView::NoSelection);
    m_tblPhotos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblPhotos->setFrameShape(QFrame::NoFrame);
    m_tblPhotos->setMouseTracking(true);
    m_tblPhotos->installEventFilter(this);
    m_tblPhotos->viewport()->installEventFilter(this);
    // An empty list says where photos come from.
    m_lblDropHint = new QLabel(tr("Drop photos or folders here,\nor add them with +"), m_tblPhotos->viewport());
    m_lblDropHint->setObjectName(QStringLiteral("lblDropHint"));
    m_lblDropHint->setAlignment(Qt::AlignCenter);
    m_lblDropHint->setStyleSheet(QStringLiteral("color: #7a705c;"));
    m_lblDropHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* boxLayout = new QVBoxLayout(m_leftBox);
    boxLayout->setContentsMargins(2, 2, 2, 2);
    boxLayout->addWidget(m_tblPhotos);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(8, 6, 8, 0);
    header->addWidget(m_lblPhotosCount);
    header->addStretch(1);
    header->addWidget(m_btnAddPhoto);
    header->addWidget(m_btnRemovePhoto);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(8, 0, 8, 6);
    footer->addWidget(m_checkMarkUnmarkAll);
    footer->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(header);
    layout->addWidget(m_leftBox, 1);
    layout->addLayout(footer);

    connect(m_btnAddPhoto, &QPushButton::clicked, this, &PhotoListPanel::btnAddPhotosTapped);
    connect(m_btnRemovePhoto, &QPushButton::clicked, this, &PhotoListPanel::btnRemovePhotosTapped);
    connect(m_checkMarkUnmarkAll, &QCheckBox::clicked, this, &PhotoListPanel::markUnmarkAll);
    connect(m_cell, &PhotoThumbnailCell::checkBoxSelected, this, &PhotoListPanel::btnCheckBoxSelect);
    connect(m_cell, &PhotoThumbnailCell::cellDoubleClicked, this, &PhotoListPanel::cellDoubleClicked);
    connect(m_tblPhotos, &UniformListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit rowDoubleClicked(index.row());
    });
    connect(m_cell, &PhotoThumbnailCell::infoTapped, this, &PhotoListPanel::btnInfoTappedAtLocation);
    connect(m_tblPhotos->verticalScrollBar(), &QScrollBar::valueChanged, this,
        &PhotoListPanel::tableviewPhotosBoundDidChange);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &PhotoListPanel::tableviewPhotosBoundDidChange);
}

// ---- Adding photos ----

void PhotoListPanel::requestAddition(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    if (anyPathInTrash(paths)) {
        showMessage(AlertCatalog::photosInTrash());
        return;
    }
    if (m_intake->isRunning()) {
        showMessage(AlertCatalog::addingRuns());
        return;
    }
    if (m_resetRequest.requestAddition(paths, renamingInForce()))
        addPhotosFromPathUrls(paths);
    else
        showAlertForResetRename();
}

void PhotoListPanel::addPhotosFromPathUrls(const QStringList& paths)
{
    if (m_intake->isRunning()) {
        qCInfo(lcBatch) << "an adding runs already;" << paths.size() << "paths not added";
        showMessage(AlertCatalog::addingRuns());
        return;
    }
    if (m_services.workers().isStopping())
        return; // the application is ending
    m_context.setLoading(true, PhotoListControls::importingText());
    m_context.setLoadingStoppable(true);
    if (m_intake->addPhotosFromPathUrls(paths))
        m_intakeRegistration = m_services.workers().add([this] { m_intake->waitForIdle(); });
}

void PhotoListPanel::showMessage(const AlertRequest& alert)
{
    m_services.presenter().presentAlert(window(), alert, {});
}

void PhotoListPanel::btnStopProcessTapped()
{
    m_intake->stop();
    m_context.setLoadingStoppable(false);
}

void PhotoListPanel::intakeFinished(const PhotoIntakeSummary& summary)
{
    m_intakeRegistration.reset();
    m_lastSummary = summary;
    qCInfo(lcBatch) << "is adding photos count =" << summary.totalPhotoToAdd;
    const PhotoIntakeCompletion next = summary.completion(m_model->isEmpty());
    if (next.clearChangedState)
        emit formChangesDropped();
    if (next.refreshEditor)
        emit listChanged();
    if (next.hideOverlay) {
        m_context.setLoadingStoppable(false);
        m_context.setLoading(false, {});
    }
    if (next.disableRemoveButton)
        setRemoveButtonEnabled(false);
    if (next.alertTag == 0)
        return;
    if (m_libraryAlertOpen)
        m_deferredAlertTag = next.alertTag;
    else
        emit alertRequested(next.alertTag, {});
}

void PhotoListPanel::showNextIntakeAlert()
{
    m_libraryAlertOpen = !m_pendingLibraryAlerts.isEmpty();
    if (!m_libraryAlertOpen) {
        if (const int tag = std::exchange(m_deferredAlertTag, 0))
            emit alertRequested(tag, {});
        return;
    }
    const PhotoLibraryAlert alert = m_pendingLibraryAlerts.takeFirst();
    QPointer<PhotoListPanel> self(this);
    m_services.presenter().presentAlert(
        window(), AlertCatalog::photoLibrary(alert.message, alert.informativeText), [self](int) {
            if (self)
                self->showNextIntakeAlert();
        });
}

AlertCounts PhotoListPanel::alertCounts() const
{
    AlertCounts counts = m_lastSummary.alertCounts();
    counts.totalPhotosSelected = m_model->checkedCount();
    return counts;
}

// ---- The add-photos menu and its open panel ----

AttachedPopupTable::ListOptions PhotoListPanel::menuOptions(AttachPopupType type)
{
    AttachedPopupTable::ListOptions options;
    options.type = type;
    options.size = PhotoListMenus::listSize(type).toSize();
    return options;
}

void PhotoListPanel::btnAddPhotosTapped()
{
    popup().open(
        m_btnAddPhoto, PhotoListMenus::rows(AttachPopupAddPhotos),
        [this](int row) { popupAddPhotosTappedWithIndex(row); }, menuOptions(AttachPopupAddPhotos));
}

void PhotoListPanel::popupAddPhotosTappedWithIndex(int row)
{
    OpenPanelRequest request;
    request.canCreateDirectories = true;
    request.multipleSelection = true;
    request.nameFilters = PhotoAcceptance::addPhotosNameFilters();
    if (row == PhotoListMenus::AddFolder) {
        request.objectName = QStringLiteral("addFolderPanel");
        request.prompt = PhotoListMenus::rowText(AttachPopupAddPhotos, row);
        request.chooseFiles = false;
        request.chooseDirectories = true;
        request.nameFilters.clear();
    } else {
        request.objectName = QStringLiteral("addPhotosPanel");
        request.prompt = PhotoListMenus::rowText(AttachPopupAddPhotos, PhotoListMenus::AddPhotos);
    }
    emit addPanelOpen(true);
    BusyPresenter(m_services.presenter(), m_context)
        .presentOpenPanel(window(), request, [this](const QStringList& paths) { addPanelDidEnd(paths); });
}

void PhotoListPanel::addPanelDidEnd(const QStringList& paths)
{
    emit addPanelOpen(false);
    requestAddition(paths);
}

// ---- Removing photos ----

void PhotoListPanel::btnRemovePhotosTapped()
{
    qCInfo(lcBatch) << "yes on remove photos tapped";
    if (m_model->checkedCount() < 1) {
        BusyPresenter(m_services.presenter(), m_context)
            .presentAlert(window(), AlertCatalog::noPhotoToRemove(), {});
        return;
    }
    deleteSelectedPhotos();
}

void PhotoListPanel::deleteSelectedPhotos()
{
    if (m_resetRequest.requestRemoval(false, renamingInForce()))
        removePhotosForRemoveButton();
    else
        showAlertForResetRename();
}

void PhotoListPanel::removePhotosForRemoveButton()
{
    m_context.setRenamingPageShown(false);
    {
        Quiet quiet(m_quiet);
        m_model->removeCheckedPhotos();
    }
    finishRemoval();
}

void PhotoListPanel::removePhotoForMenuOption()
{
    m_context.setRenamingPageShown(false);
    const std::shared_ptr<PhotoFile> photo = m_menuPhoto.lock();
    if (!photo || !m_model->containsPath(photo->filePath))
        return;
    {
        Quiet quiet(m_quiet);
        m_model->removePhoto(photo);
    }
    finishRemoval();
}

void PhotoListPanel::finishRemoval()
{
    publishCheckedPhotos();
    if (m_model->isEmpty())
        emit batchListEmptied();
    m_context.setSubWindowOpened(false);
    emit listChanged();
}

void PhotoListPanel::btnRemoveFromBatchTapped()
{
    m_context.setSubWindowOpened(false);
    if (!m_model->startMissingPhotoScan())
        return;
    ++m_quiet; // until the scan has removed what it found
    m_context.setLoading(true, PhotoListControls::removingText());
    m_context.setRenamingPageShown(false);
}

// ---- Check marks ----

void PhotoListPanel::checkMarksChanged()
{
    if (m_quiet != 0)
        return;
    publishCheckedPhotos();
    emit checkedPhotosChanged();
}

void PhotoListPanel::publishCheckedPhotos()
{
    m_context.setCheckedPhotos(m_model->checkedPhotos());
}

bool PhotoListPanel::renamingInForce() const
{
    return m_context.isRenamingInForce();
}

AttachedPopupTable& PhotoListPanel::popup() const
{
    return m_context.attachedPopup();
}

void PhotoListPanel::btnCheckBoxSelect(const QPersistentModelIndex& index)
{
    m_model->toggleCheckMark(index);
}

void PhotoListPanel::cellDoubleClicked(const QPersistentModelIndex& index)
{
    if (index.isValid())
        emit photoDoubleClicked(index.row());
}

void PhotoListPanel::markUnmarkAll()
{
    const bool marked = m_model->markUnmarkAll();
    m_checkMarkUnmarkAll->setChecked(marked);
}

void PhotoListPanel::selectAllTableViewCellAndReload()
{
    {
        Quiet quiet(m_quiet);
        m_model->selectAll();
    }
    m_checkMarkUnmarkAll->setChecked(!m_model->isEmpty());
    // Every listed photo is ticked now: the list itself is the ticked list, shared
    // rather than gathered again photo by photo (a long pass at 100,000 photos).
    m_context.setCheckedPhotos(m_context.batchList());
}

// ---- The photo menu ----

void PhotoListPanel::btnInfoTappedAtLocation(const QPoint& location, int row, bool isFromRightMouseDown)
{
    switch (m_model->photoMenuOpening(row)) {
    case PhotoListModel::PhotoMenuOpening::Nothing:
        return;
    case PhotoListModel::PhotoMenuOpening::MissingPhotoAlert:
        emit alertRequested(AlertRemoveFromBatch, [self = QPointer<PhotoListPanel>(this)](AlertButton) {
            if (self)
                self->btnRemoveFromBatchTapped();
        });
        return;
    case PhotoListModel::PhotoMenuOpening::Menu:
        break;
    }
    m_menuPhoto = m_model->photoAt(row);
    m_isPhotoMenuFromRightMouseDown = isFromRightMouseDown;
    AttachedPopupTable::ListOptions options = menuOptions(AttachPopupPhotoMenu);
    options.point = location + QPoint(isFromRightMouseDown ? 0 : 10, 4);
    popup().open(
        parentWidget(), PhotoListMenus::rows(AttachPopupPhotoMenu), [this](int chosen) { btnOnMenuOptionTapped(chosen); },
        options);
}

void PhotoListPanel::btnOnMenuOptionTapped(int row)
{
    const std::shared_ptr<PhotoFile> photo = m_menuPhoto.lock();
    if (!photo || !m_model->containsPath(photo->filePath))
        return; // the photo left the list while its menu was open
    switch (row) {
    case PhotoListMenus::ShowInFileManager:
        showInFileManager(photo->filePath);
        break;
    case PhotoListMenus::OpenWithImageViewer:
        if (!m_services.urlOpener().openUrl(QUrl::fromLocalFile(photo->filePath)))
            showMessage(AlertCatalog::openWithImageViewerFailed(photo->filePath));
        break;
    case PhotoListMenus::GetInfo:
        showInfo(photo->filePath);
        break;
    case PhotoListMenus::MarkUnmarkAll:
        markUnmarkAll();
        break;
    case PhotoListMenus::RemovePhoto:
        if (m_resetRequest.requestRemoval(true, renamingInForce()))
            removePhotoForMenuOption();
        else
            showAlertForResetRename();
        break;
    default:
        break;
    }
}

void PhotoListPanel::showInFileManager(const QString& path)
{
    // The file manager selects the file where the desktop offers that; otherwise
    // its folder opens.
    FileManagerBus::showItems(path, this, [this, path] {
        if (!m_services.urlOpener().openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath())))
            showMessage(AlertCatalog::showInFileManagerFailed(path));
    });
}

void PhotoListPanel::showInfo(const QString& path)
{
    // The desktop's own information window where a file manager offers it; our
    // metadata viewer otherwise, for the photo if it is still in the list.
    FileManagerBus::showItemProperties(path, this, [this, path] {
        const int row = m_model->rowOfPath(path);
        if (row >= 0)
            emit metadataViewerRequested(row);
    });
}

// ---- The metadata more-options menu ----

void PhotoListPanel::btnMetaMoreOptionsTapped(QWidget* button)
{
    if (!button)
        return;
    AttachedPopupTable::ListOptions options = menuOptions(AttachPopupMetadataMoreOptions);
    options.point = PhotoListMenus::metadataMoreOptionsAnchor(button->size()).toPoint();
    popup().open(
        button, PhotoListMenus::rows(AttachPopupMetadataMoreOptions),
        [this](int row) { btnOnMetadataMenuOptionTapped(row); }, options);
}

void PhotoListPanel::btnOnMetadataMenuOptionTapped(int row)
{
    if (row == PhotoListMenus::Reset)
        emit resetChosen();
    else if (row == PhotoListMenus::CleanMetadata)
        emit cleanMetadataChosen();
}

// ---- Thumbnails ----

void PhotoListPanel::tableviewPhotosBoundDidChange()
{
    m_animationtimer.start();
}

void PhotoListPanel::loadTableViewThumbnailImages()
{
    if (m_model->isEmpty())
        return;
    const QRect visible = m_tblPhotos->viewport()->rect();
    const QModelIndex first = m_tblPhotos->indexAt(visible.topLeft());
    const QModelIndex last = m_tblPhotos->indexAt(QPoint(visible.left(), visible.bottom()));
    const int firstRow = first.isValid() ? first.row() : 0;
    const int lastRow = last.isValid() ? last.row() : m_model->count() - 1;
    m_model->requestThumbnails(firstRow, lastRow);
}

// ---- Switches ----

void PhotoListPanel::setRemoveButtonEnabled(bool enable)
{
    m_btnRemovePhoto->setEnabled(PhotoListControls::removeEnabled(m_model->isEmpty(), enable));
}

void PhotoListPanel::updateCountLabel()
{
    m_lblPhotosCount->setText(m_model->countLabelText());
    m_lblDropHint->setVisible(m_model->isEmpty());
}

// ---- The reset prompt ----

void PhotoListPanel::showAlertForResetRename()
{
    m_context.setVeiled(true);
    m_context.setAcceptsDrops(false);
    m_resetSheet->prepare();
    // The sheet is shown without blocking: the flag holds until it is answered.
    BusyPresenter(m_services.presenter(), m_context).presentSheet(m_resetSheet, {});
}

void PhotoListPanel::answeredResetRename(bool yes, bool dontShowAgain)
{
    // The editor is unblocked before the request is carried out, so that an
    // adding it starts keeps its own overlay and blocked drop box.
    m_context.setSubWindowOpened(false);
    m_context.setAcceptsDrops(true);
    m_context.setVeiled(false);
    if (!yes) {
        m_resetRequest.answerNo(dontShowAgain);
        return;
    }
    m_resetRequest.answerYes(dontShowAgain);
    if (!m_intake->isRunning()) {
        publishCheckedPhotos();
        emit checkedPhotosChanged();
    }
}

// ---- Keyboard ----

namespace {

bool isRowMovingKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_End
        || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

} // namespace

bool PhotoListPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tblPhotos && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false; // focus still moves on
        if (key->key() == Qt::Key_Control && key->nativeVirtualKey() == kRightControlKeySym)
            m_rightControlHeld = event->type() == QEvent::KeyPress;
        if (event->type() == QEvent::KeyPress) {
            qCDebug(lcBatch) << "Caught key event";
            if (PhotoListMenus::isMarkAllShortcut(key->modifiers(), key->key(), m_rightControlHeld)) {
                markUnmarkAll();
                return true;
            }
            // The keyboard ticks too: the arrows move the current row, Space ticks it.
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
                if (m_tblPhotos->currentIndex().isValid())
                    btnCheckBoxSelect(m_tblPhotos->currentIndex());
                return true;
            }
            if (isRowMovingKey(key->key()))
                return false;
        }
        return !(event->type() == QEvent::KeyRelease && isRowMovingKey(key->key()));
    }
    // Mark All's Ctrl shortcut belongs to the list while it has the focus, before
    // the menu's Select All.
    if (watched == m_tblPhotos && event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (PhotoListMenus::isMarkAllShortcut(key->modifiers(), key->key(), m_rightControlHeld)) {
            event->accept();
            return true;
        }
    }
    // The list shows a current row as soon as it has the focus.
    if (watched == m_tblPhotos && event->type() == QEvent::FocusIn && !m_tblPhotos->currentIndex().isValid()
        && m_model->rowCount() > 0)
        m_tblPhotos->setCurrentIndex(m_model->index(0, 0));
    if (watched == m_tblPhotos->viewport() && event->type() == QEvent::Resize) {
        m_lblDropHint->setGeometry(m_tblPhotos->viewport()->rect());
        tableviewPhotosBoundDidChange();
    }
    return QWidget::eventFilter(watched, event);
}
