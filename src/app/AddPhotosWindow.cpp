#include "app/AddPhotosWindow.h"

#include "app/ExifEditorFactory.h"
#include "app/ShellWidgets.h"
#include "batch/intake/widgets/DragDropBox.h"
#include "controls/IMGButton.h"
#include "controls/InWindowSheet.h"
#include "controls/MouseDownView.h"
#include "controls/QVAppStoreWindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QColor kVeilColour(0, 0, 0, 110);
const QSize kWindowSize(560, 380);

} // namespace

AddPhotosWindow::AddPhotosWindow(QVAppStoreWindow* mainWindow, QWidget* behind)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_contentView(mainWindow->contentView())
    , m_behind(behind)
{
    m_veil = new QWidget(m_contentView);
    m_veil->setObjectName(QStringLiteral("vwAddPhotosVeil"));
    m_veil->setAutoFillBackground(true);
    QPalette veilPalette = m_veil->palette();
    veilPalette.setColor(QPalette::Window, kVeilColour);
    m_veil->setPalette(veilPalette);
    m_veil->installEventFilter(this);
    m_veil->hide();
    m_contentView->installEventFilter(this);

    m_window = new QWidget(m_veil);
    m_window->setObjectName(QStringLiteral("winAddPhotos"));
    m_window->setWindowTitle(tr("Add Photos"));
    m_window->setFixedSize(kWindowSize);
    m_window->installEventFilter(this);

    m_vwContainerLoadImage = new MouseDownView(m_window);
    m_vwContainerLoadImage->setObjectName(QStringLiteral("vwContainerLoadImage"));
    m_vwContainerLoadImage->setAutoFillBackground(true);
    QPalette palette = m_vwContainerLoadImage->palette();
    palette.setColor(QPalette::Window, QColor(246, 243, 236));
    palette.setColor(QPalette::WindowText, QColor(40, 36, 28));
    m_vwContainerLoadImage->setPalette(palette);
    auto* outer = new QVBoxLayout(m_window);
    // A thin dark frame sets the light window off against the main window.
    outer->setContentsMargins(1, 1, 1, 1);
    m_window->setAutoFillBackground(true);
    QPalette framePalette = m_window->palette();
    framePalette.setColor(QPalette::Window, QColor(12, 12, 12));
    m_window->setPalette(framePalette);
    outer->addWidget(m_vwContainerLoadImage);

    auto* layout = new QVBoxLayout(m_vwContainerLoadImage);
    layout->setContentsMargins(18, 10, 18, 22);
    layout->setSpacing(12);

    auto* closeRow = new QHBoxLayout;
    auto* close = ShellWidgets::titleBarButton(QStringLiteral("btnCloseAddPhotoWin"), QStringLiteral("close"));
    connect(close, &QAbstractButton::clicked, this, &AddPhotosWindow::closeTapped);
    closeRow->addWidget(close);
    closeRow->addStretch(1);
    layout->addLayout(closeRow);

    auto* title = new QLabel(tr("Add photos to get started"), m_vwContainerLoadImage);
    title->setObjectName(QStringLiteral("lblAddPhotosTitle"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    DragDropBox* leftBox = createAddPhotosDropBox(m_vwContainerLoadImage);
    connect(leftBox, &DragDropBox::filesDropped, this, &AddPhotosWindow::filesDropped);
    if (leftBox->objectName().isEmpty())
        leftBox->setObjectName(QStringLiteral("leftBox"));
    leftBox->setMinimumHeight(150);
    leftBox->setStyleSheet(QStringLiteral("#leftBox { border: 2px dashed #b9ad95; border-radius: 10px; }"));
    auto* boxLayout = new QVBoxLayout(leftBox);
    auto* hint = new QLabel(tr("Drop photos, folders or a photo library here"), leftBox);
    hint->setObjectName(QStringLiteral("lblDropHint"));
    hint->setAlignment(Qt::AlignCenter);
    hint->setStyleSheet(QStringLiteral("color: #7a705c;"));
    boxLayout->addWidget(hint);
    layout->addWidget(leftBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto* addPhotos
        = ShellWidgets::pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddPhotos"), tr("Add Photos"));
    auto* addFolders
        = ShellWidgets::pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddFolders"), tr("Add Folder"));
    auto* addLibrary
        = ShellWidgets::pushButton(m_vwContainerLoadImage, QStringLiteral("btnAddiPhotos"), tr("Add Photos Library"));
    connect(addPhotos, &QPushButton::clicked, this, &AddPhotosWindow::addPhotosTapped);
    connect(addFolders, &QPushButton::clicked, this, &AddPhotosWindow::addFoldersTapped);
    connect(addLibrary, &QPushButton::clicked, this, &AddPhotosWindow::addLibraryTapped);
    for (QPushButton* button : { addPhotos, addFolders, addLibrary }) {
        button->setMinimumHeight(32);
        buttons->addWidget(button, 1);
    }
    layout->addLayout(buttons);
}

bool AddPhotosWindow::isVisible() const
{
    return m_window->isVisible();
}

void AddPhotosWindow::place()
{
    QWidget* content = m_mainWindow->contentView();
    m_veil->setGeometry(content->rect());
    // Never larger than the content below the title bar (a small screen, a large
    // scale), so its close button and its own top are always seen.
    const int margin = InWindowSheet::kMargin;
    m_window->setFixedSize(kWindowSize.boundedTo(InWindowSheet::roomIn(content->size())));
    // Centred on the whole main window, title bar included, as far as it lies inside
    // the content.
    const QSize size = m_window->size();
    const QPoint centred = m_veil->mapFrom(m_mainWindow, ShellWidgets::centredOn(m_mainWindow->rect(), size));
    const auto inside = [margin](int at, int length, int room) {
        return std::max(0, std::min(std::max(at, margin), room - length - margin));
    };
    m_window->move(
        inside(centred.x(), size.width(), content->width()), inside(centred.y(), size.height(), content->height()));
}

void AddPhotosWindow::show()
{
    if (m_window->isVisible())
        return;
    place();
    m_focusBefore = QApplication::focusWidget();
    if (m_behind)
        m_behind->setEnabled(false);
    m_veil->show();
    m_veil->raise();
    m_window->show();
    m_window->setFocus();
}

void AddPhotosWindow::hide()
{
    QWidget* focus = QApplication::focusWidget();
    const bool focusWasHere = focus == nullptr || m_veil->isAncestorOf(focus);
    m_veil->hide();
    if (m_behind)
        m_behind->setEnabled(true);
    // Hidden with the keyboard on its own buttons, the window would take the keyboard
    // away with it: no widget would have it until a click.
    if (!focusWasHere)
        return;
    if (m_focusBefore && m_focusBefore->isVisible() && m_focusBefore->isEnabled() && !m_veil->isAncestorOf(m_focusBefore))
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    else if (m_behind && m_behind->isVisible())
        m_behind->setFocus(Qt::OtherFocusReason);
    else
        m_mainWindow->setFocus(Qt::OtherFocusReason);
}

QWidget* AddPhotosWindow::panelParent() const
{
    return m_window->isVisible() ? m_window : static_cast<QWidget*>(m_mainWindow);
}

bool AddPhotosWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == m_contentView) {
        if (type == QEvent::Resize && m_veil->isVisible())
            place();
    } else if (watched == m_veil) {
        // The veil is the window's modality: what is pressed on it goes nowhere.
        if (InWindowSheet::isSwallowedByAVeil(type))
            return true;
    } else if (watched == m_window && type == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}
