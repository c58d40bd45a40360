// The metadata viewer's wiring: the notification with a row fills the window from
// the viewer's model, the map shows the model's placement and the three map-type
// buttons switch its look. What the rows and the placement hold is tested in the core.
#include "viewer/widgets/MetaDataPopupView.h"

#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "controls/DialogPresenter.h"
#include "controls/ImageNamed.h"
#include "controls/WindowKeys.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/FileTypeIcon.h"
#include "presets/widgets/PresetsPanel.h"
#include "viewer/MetaDataViewerModel.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kSamples = QStringLiteral(VELLORAN_SAMPLES_DIR);

template <typename T> T* child(QWidget& parent, const QString& name)
{
    T* widget = parent.findChild<T*>(name);
    if (!widget)
        qWarning("no %s", qPrintable(name));
    return widget;
}

} // namespace

class MetaDataPopupViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QList<std::shared_ptr<PhotoFile>> m_photos;
    std::unique_ptr<MetaDataPopupView> m_view;

    QLabel* label(const char* name) { return child<QLabel>(*m_view, QString::fromLatin1(name)); }

private slots:
    void initTestCase()
    {
        isolateUserFolders(m_home.path());
        m_photos = { std::make_shared<PhotoFile>(kSamples + QStringLiteral("/gps/DSCN0010.jpg"), false),
            std::make_shared<PhotoFile>(kSamples + QStringLiteral("/camera/Canon_40D.jpg"), false) };
    }

    void init()
    {
        m_view = std::make_unique<MetaDataPopupView>(m_photos);
        m_view->model().setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup() { m_view.reset(); }

    void aPhotoWithAPositionFillsTheWindowAndPinsIt()
    {
        QVERIFY(!m_view->isVisible());
        m_view->showPhotoAt(0);
        QTRY_VERIFY(m_view->isVisible());
        QCOMPARE(label("lblImageName")->toolTip(), QStringLiteral("DSCN0010.jpg"));
        QVERIFY(label("lblImageSizeOndisk")->toolTip().endsWith(QStringLiteral(" | 640 X 480")));
        QCOMPARE(label("lblImageDestinationPath")->toolTip(), m_photos.first()->filePath);

        auto* rows = child<QTableView>(*m_view, "scrollViewExifData");
        QCOMPARE(rows->model()->rowCount(), 67);
        QCOMPARE(rows->model()->index(0, 0).data().toString(), QStringLiteral("Artist"));
        QCOMPARE(rows->model()->index(66, 0).data().toString(), QStringLiteral("Xmp Photoshop Creation Date"));
        QCOMPARE(m_view->model().valueAt(0), QStringLiteral("---"));
        QCOMPARE(m_view->model().valueAt(9), QStringLiteral("Oct 22,2008 04:28:39 PM"));

        TileMapView& map = m_view->mapView();
        QVERIFY(map.hasPin());
        QCOMPARE(map.pinTitle(), QString());
        QVERIFY(qAbs(map.pinCoordinate().y() - 43.4674) < 1e-3);
        QVERIFY(qAbs(map.pinCoordinate().x() - 11.8851) < 1e-3);
        QCOMPARE(map.region().latitudeDelta, 0.55);
        QCOMPARE(map.region().longitudeDelta, 0.55);

        // The thumbnail replaces the place holder once it is made.
        auto* thumb = label("imgVwThumb");
        const qint64 placeHolder = thumb->pixmap().cacheKey();
        QTRY_VERIFY(thumb->pixmap().cacheKey() != placeHolder);
    }

    void aFileWithoutPixelsShowsItsTypeIconForTheThumbnail()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("no-pixels.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        file.close();
        const QList<std::shared_ptr<PhotoFile>> photos { std::make_shared<PhotoFile>(path, false) };
        MetaDataPopupView view(photos); // the viewer reads the list it is given, as the editor's
        const QImage typeIcon
            = fileTypeImage(FileTypeIcon::iconNames(path), QSize(120, 120), view.devicePixelRatioF()).toImage();
        QSignalSpy thumbnail(&view.model(), &MetaDataViewerModel::thumbnailReady);
        QVERIFY(view.showPhotoAt(0));
        QVERIFY(thumbnail.wait(5000));
        auto* thumb = child<QLabel>(view, QStringLiteral("imgVwThumb"));
        QCOMPARE(thumb->pixmap().toImage(), typeIcon);
    }

    void aPhotoWithoutAPositionShowsTheWholeWorld()
    {
        m_view->showPhotoAt(1);
        QTRY_VERIFY(m_view->isVisible());
        QCOMPARE(label("lblImageName")->toolTip(), QStringLiteral("Canon_40D.jpg"));
        TileMapView& map = m_view->mapView();
        QCOMPARE(map.pinTitle(), QStringLiteral("No location found"));
        QCOMPARE(map.region().latitudeDelta, 180.0);
        QCOMPARE(map.region().longitudeDelta, 360.0);
    }

    void anIndexOutsideTheListChangesNothing()
    {
        QVERIFY(!m_view->showPhotoAt(5));
        QVERIFY(!m_view->showPhotoAt(-1));
        QCoreApplication::processEvents();
        QVERIFY(!m_view->isVisible());
        QVERIFY(label("lblImageName")->text().isEmpty());

        m_view->showPhotoAt(0);
        QTRY_VERIFY(m_view->isVisible());
        const QPointF pin = m_view->mapView().pinCoordinate();
        m_view->showPhotoAt(2);
        QCoreApplication::processEvents();
        QCOMPARE(label("lblImageName")->toolTip(), QStringLiteral("DSCN0010.jpg"));
        QCOMPARE(m_view->mapView().pinCoordinate(), pin);
        QCOMPARE(m_view->model().currentIndex(), 0);
    }

    void positionsThatAreNoPositionShowInvalidLocation()
    {
        m_view->show();
        for (const QString& latitude : { QStringLiteral("91"), QStringLiteral("nan"), QStringLiteral("inf") }) {
            MetaDataObject record;
            record.setGPS_Lattitude(latitude);
            record.setGPS_Longitude(QStringLiteral("10"));
            m_view->model().showPhoto(PhotoFile(), record);
            QCOMPARE(m_view->mapView().pinTitle(), QStringLiteral("Invalid location"));
            QCOMPARE(m_view->mapView().region().longitudeDelta, 360.0);
        }
    }

    void escapeAndCtrlWCloseTheViewer()
    {
        QWidget main;
        WindowKeys::install(&main);
        auto* viewer = new MetaDataPopupView(m_photos, &main); // a child window, as in the application
        for (const QKeySequence& keys : { QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close) }) {
            viewer->show();
            viewer->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(viewer));
            QTest::keySequence(viewer, keys);
            QTRY_VERIFY(!viewer->isVisible());
        }
    }

    void theMapTypeButtonsSwitchTheLookAndANewPhotoStartsOnRoad()
    {
        m_view->showPhotoAt(0);
        QTRY_VERIFY(m_view->isVisible());
        auto* road = child<QPushButton>(*m_view, "btnRoad");
        auto* satellite = child<QPushButton>(*m_view, "btnSatellite");
        auto* hybrid = child<QPushButton>(*m_view, "btnHybrid");
        QCOMPARE(m_view->mapView().mapType(), MapType::Road);
        QVERIFY(road->isChecked());

        QTest::mouseClick(satellite, Qt::LeftButton);
        QCOMPARE(m_view->mapView().mapType(), MapType::Satellite);
        QVERIFY(satellite->isChecked() && !road->isChecked() && !hybrid->isChecked());
        QTest::mouseClick(hybrid, Qt::LeftButton);
        QCOMPARE(m_view->mapView().mapType(), MapType::Hybrid);
        QVERIFY(hybrid->isChecked() && !satellite->isChecked());

        m_view->showPhotoAt(1);
        QTRY_COMPARE(m_view->mapView().mapType(), MapType::Road);
        QVERIFY(road->isChecked() && !hybrid->isChecked());
    }

    // The viewer is the window's child: drawn over its middle, above it on every window
    // system, with the window veiled, so that a click meant for the viewer's
    // neighbourhood never reaches the window behind; Close gives the window back.
    void theViewerOpensOverItsWindowWhichTakesNoClickMeanwhile()
    {
        QWidget window;
        window.setGeometry(200, 150, 1050, 700);
        auto* behind = new QPushButton(QStringLiteral("Mark/Unmark All"), &window);
        behind->setGeometry(10, 10, 150, 30);
        QSignalSpy pressed(behind, &QPushButton::clicked);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* viewer = new MetaDataPopupView(m_photos, &window);
        DialogPresenter presenter;
        viewer->setPresenter(&presenter);
        QVERIFY(viewer->showPhotoAt(0));
        QTRY_VERIFY(viewer->isVisible());
        QVERIFY(!viewer->isWindow());
        QCOMPARE(viewer->geometry().center(), window.rect().center());
        // A press as the window system hands it to the window.
        const auto clickBehind
            = [&] { QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, behind->geometry().center()); };
        clickBehind();
        QCOMPARE(pressed.count(), 0);

        QTest::mouseClick(child<QPushButton>(*viewer, "btnCloseMetaDataPopup"), Qt::LeftButton);
        QVERIFY(!viewer->isVisible());
        QTRY_VERIFY(!window.findChild<QWidget*>(QStringLiteral("vwSheetVeil")));
        clickBehind();
        QCOMPARE(pressed.count(), 1);
    }

    void theEditorHoldsTheViewerAndThePresetsDropDown()
    {
        AppDelegate app;
        app.setPresenter(std::make_shared<RecordingPresenter>());
        app.editorContext().batchList() = m_photos;
        ExifEditorView editor(app);
        QVERIFY(editor.findChild<QWidget*>(QStringLiteral("btnPresets")));
        QVERIFY(editor.presetsPanel());
        // The first window does without the viewer: it is built when first asked for.
        QVERIFY(!editor.metaDataPopup());
        emit editor.photoListPanel()->metadataViewerRequested(1);
        MetaDataPopupView* viewer = editor.metaDataPopup();
        QVERIFY(viewer);
        QTRY_VERIFY(viewer->isVisible());
        QCOMPARE(viewer->model().currentIndex(), 1);

        // A photo's double-click in the list opens the same viewer.
        emit editor.photoListPanel()->photoDoubleClicked(0);
        QTRY_COMPARE(viewer->model().currentIndex(), 0);
        QCOMPARE(editor.metaDataPopup(), viewer);
    }
};

QTEST_MAIN(MetaDataPopupViewTest)
#include "MetaDataPopupViewTest.moc"
