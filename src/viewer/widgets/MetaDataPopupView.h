#pragma once

#include "viewer/widgets/TileMapView.h"

#include <QDialog>
#include <QList>
#include <memory>

class DropDownTables;
class MetaDataViewerModel;
class PhotoFile;
class Presenter;
class QLabel;
class QPushButton;
class QTableView;

// The metadata viewer: a read-only window for one photo of the batch list with its
// thumbnail, name, size on disk and pixel size, path, the 67 titled values read
// fresh from the file ("scrollViewExifData") and a small map with the photo's
// position and three map-type buttons (btnRoad, btnSatellite, btnHybrid; tags 1 to
// 3). showPhotoAt fills it with a photo of the list and brings it up over the
// window it belongs to; an index that is not in the list changes nothing. What it
// shows is MetaDataViewerModel's; the widgets only draw it. Close
// ("btnCloseMetaDataPopup"), Escape or Ctrl+W put it away.
class MetaDataPopupView : public QDialog {
    Q_OBJECT
public:
    // photos is the batch list; it must outlive the view.
    explicit MetaDataPopupView(const QList<std::shared_ptr<PhotoFile>>& photos, QWidget* parent = nullptr);
    ~MetaDataPopupView() override;

    MetaDataViewerModel& model() const { return *m_model; }
    TileMapView& mapView() const { return *m_map; }

    // The road map first, the photo at `row` of the batch list, the list at its
    // top, and the viewer comes up over its window (showOverWindow). False, and
    // nothing shown, for a row that is not in the list.
    bool showPhotoAt(int row);
    // btnMapTypeTapped: the map look of the button's tag, the buttons restyled.
    void btnMapTypeTapped(QPushButton* button);
    void scrollViewToTop();
    // The presenter the viewer comes up through, as a sheet of the window of its
    // parent: drawn inside it over a veil, above the window and over its middle on
    // every window system, and the window behind takes no click while it is up.
    // Without one (the default) it is a window of its own.
    void setPresenter(Presenter* presenter) { m_presenter = presenter; }
    void showOverWindow();

private:
    void build();
    void photoShown();
    void changeSegmentUiForButton(QPushButton* button, bool isSelected, bool isRounded);

    std::unique_ptr<DropDownTables> m_tables;
    Presenter* m_presenter = nullptr;
    MetaDataViewerModel* m_model = nullptr;
    QLabel* m_thumb = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_size = nullptr;
    QLabel* m_path = nullptr;
    QTableView* m_rows = nullptr;
    TileMapView* m_map = nullptr;
    QPushButton* m_road = nullptr;
    QPushButton* m_satellite = nullptr;
    QPushButton* m_hybrid = nullptr;
};
