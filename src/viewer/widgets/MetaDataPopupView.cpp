#include "viewer/widgets/MetaDataPopupView.h"

#include "viewer/MetaDataViewerModel.h"
#include "controls/ImageNamed.h"
#include "controls/Presenter.h"
#include "form/DropDownTables.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr QSize kThumbSize { 120, 120 };
constexpr QSize kMapSize { 330, 230 };
constexpr QSize kWindowSize { 860, 560 };

QLabel* infoLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setMinimumWidth(1); // long names elide instead of widening the window
    return label;
}

// Shows a text cut at its end, with the whole text as the tool tip.
void setElidedText(QLabel* label, const QString& text, int width)
{
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, width));
    label->setToolTip(text);
}

} // namespace

MetaDataPopupView::MetaDataPopupView(const QList<std::shared_ptr<PhotoFile>>& photos, QWidget* parent)
    : QDialog(parent)
    , m_tables(std::make_unique<DropDownTables>())
{
    setObjectName(QStringLiteral("vwMetaDataPopup"));
    setWindowTitle(tr("Metadata"));
    m_tables->loadCountries();
    m_model = new MetaDataViewerModel(
        photos,
        [tables = m_tables.get()](
            int tag, const MetaDataObject& record) { return tables->getValueForOption(tag, record); },
        this);
    build();
    connect(m_model, &MetaDataViewerModel::photoShown, this, &MetaDataPopupView::photoShown);
    connect(m_model, &MetaDataViewerModel::thumbnailReady, this,
        [this](const QImage& image, const QStringList& typeIconNames) {
            if (!image.isNull())
                m_thumb->setPixmap(
                    QPixmap::fromImage(image).scaled(kThumbSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            else if (!typeIconNames.isEmpty())
                m_thumb->setPixmap(fileTypeImage(typeIconNames, kThumbSize, devicePixelRatioF()));
        });
}

void MetaDataPopupView::showOverWindow()
{
    if (isVisible()) {
        raise();
    } else if (m_presenter) {
        m_presenter->presentSheet(this, {});
    } else {
        show();
        raise();
        activateWindow();
    }
}

MetaDataPopupView::~MetaDataPopupView() = default;

bool MetaDataPopupView::showPhotoAt(int row)
{
    btnMapTypeTapped(m_road);
    const bool shown = m_model->showPhotoAtIndex(row);
    scrollViewToTop();
    if (!shown)
        return false;
    showOverWindow();
    return true;
}

void MetaDataPopupView::build()
{
    resize(kWindowSize);

    m_thumb = new QLabel(this);
    m_thumb->setObjectName(QStringLiteral("imgVwThumb"));
    m_thumb->setFixedSize(kThumbSize);
    m_thumb->setAlignment(Qt::AlignCenter);
    m_thumb->setPixmap(imageNamed(QStringLiteral("place_holder.png"), kThumbSize));

    m_name = infoLabel(QStringLiteral("lblImageName"), this);
    m_name->setStyleSheet(QStringLiteral("font-weight: bold;"));
    m_size = infoLabel(QStringLiteral("lblImageSizeOndisk"), this);
    m_path = infoLabel(QStringLiteral("lblImageDestinationPath"), this);
    m_path->setStyleSheet(QStringLiteral("color: #6b6b6b;"));
    m_path->setWordWrap(false);

    auto* texts = new QVBoxLayout;
    texts->addStretch();
    texts->addWidget(m_name);
    texts->addWidget(m_size);
    texts->addWidget(m_path);
    texts->addStretch();
    auto* header = new QHBoxLayout;
    header->addWidget(m_thumb);
    header->addLayout(texts, 1);

    m_map = new TileMapView(this);
    m_map->setObjectName(QStringLiteral("mapView"));
    // Lower where the window leaves the viewer less room (a small screen, a large
    // scale), so that the map-type buttons stay below it.
    m_map->setFixedWidth(kMapSize.width());
    m_map->setMinimumHeight(kMapSize.height() / 2);
    m_map->setMaximumHeight(kMapSize.height());

    m_road = new QPushButton(tr("Road"), this);
    m_road->setObjectName(QStringLiteral("btnRoad"));
    m_satellite = new QPushButton(tr("Satellite"), this);
    m_satellite->setObjectName(QStringLiteral("btnSatellite"));
    m_hybrid = new QPushButton(tr("Hybrid"), this);
    m_hybrid->setObjectName(QStringLiteral("btnHybrid"));
    auto* mapTypes = new QHBoxLayout;
    mapTypes->setSpacing(0);
    mapTypes->addStretch();
    int tag = 1;
    for (QPushButton* button : { m_road, m_satellite, m_hybrid }) {
        button->setProperty("tag", tag++);
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumWidth(80);
        mapTypes->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, button] { btnMapTypeTapped(button); });
    }
    mapTypes->addStretch();

    auto* left = new QVBoxLayout;
    left->addLayout(header);
    left->addSpacing(12);
    left->addWidget(m_map, 1, Qt::AlignHCenter);
    left->addLayout(mapTypes);
    left->addStretch();

    m_rows = new QTableView(this);
    m_rows->setObjectName(QStringLiteral("scrollViewExifData"));
    m_rows->setModel(m_model);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setSelectionMode(QAbstractItemView::NoSelection);
    m_rows->setFocusPolicy(Qt::NoFocus);
    m_rows->setTextElideMode(Qt::ElideRight);
    m_rows->setWordWrap(false);
    m_rows->setShowGrid(false);
    m_rows->setAlternatingRowColors(true);
    m_rows->verticalHeader()->hide();
    m_rows->verticalHeader()->setDefaultSectionSize(22);
    m_rows->horizontalHeader()->hide();
    m_rows->horizontalHeader()->setSectionResizeMode(MetaDataViewerModel::TitleColumn, QHeaderView::Interactive);
    m_rows->horizontalHeader()->resizeSection(MetaDataViewerModel::TitleColumn, 210);
    m_rows->horizontalHeader()->setStretchLastSection(true);

    // Drawn inside the main window the viewer has no title bar of its own to close it by.
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("btnCloseMetaDataPopup"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* right = new QVBoxLayout;
    right->addWidget(m_rows, 1);
    right->addWidget(close, 0, Qt::AlignRight);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);
    auto* leftBox = new QWidget(this);
    leftBox->setLayout(left);
    leftBox->setFixedWidth(kMapSize.width() + 20);
    left->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(leftBox);
    layout->addLayout(right, 1);

    btnMapTypeTapped(m_road);
}

void MetaDataPopupView::photoShown()
{
    m_thumb->setPixmap(imageNamed(QStringLiteral("place_holder.png"), kThumbSize));
    const int width = std::max(120, m_name->parentWidget()->width() - kThumbSize.width() - 30);
    setElidedText(m_name, m_model->imageName(), width);
    setElidedText(m_size, m_model->imageSizeText(), width);
    setElidedText(m_path, m_model->imagePath(), width);
    m_map->showLocation(m_model->location());
    m_model->requestThumbnail(kThumbSize);
}

void MetaDataPopupView::scrollViewToTop()
{
    m_rows->verticalScrollBar()->setValue(0);
    m_rows->horizontalScrollBar()->setValue(0);
}

void MetaDataPopupView::btnMapTypeTapped(QPushButton* button)
{
    m_map->setMapTypeForTag(button->property("tag").toInt());
    changeSegmentUiForButton(m_road, button == m_road, true);
    changeSegmentUiForButton(m_satellite, button == m_satellite, false);
    changeSegmentUiForButton(m_hybrid, button == m_hybrid, true);
}

void MetaDataPopupView::changeSegmentUiForButton(QPushButton* button, bool isSelected, bool isRounded)
{
    button->setCheckable(true);
    button->setChecked(isSelected);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid rgb(82, 82, 82);"
                                         " border-radius: %3px; padding: 3px 10px; }")
                              .arg(isSelected ? QStringLiteral("rgb(0, 102, 255)") : QStringLiteral("transparent"),
                                  isSelected ? QStringLiteral("white") : QStringLiteral("palette(button-text)"),
                                  QString::number(isRounded ? 3 : 0)));
}
