// Whole paths through the real application object, its main window and the editor
// view, driven through their widgets as a user drives them: add a folder of real
// photos (copies), edit, process, restore. What was written is read back with
// exiftool as a second opinion, and every source is checked byte for byte afterwards.
#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MainWindowController.h"
#include "app/Reachability.h"
#include "batch/intake/PhotoIntake.h"
#include "batch/intake/widgets/DragDropBox.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/naming/widgets/ResetRenamePrompt.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/EditorContext.h"
#include "controls/AttachedPopupTable.h"
#include "controls/IMGButton.h"
#include "controls/QVAppStoreWindow.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MapPickerWindow.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "platform/Exiv2Setup.h"
#include "platform/OnlineServices.h"
#include "platform/UserDefaults.h"
#include "presets/widgets/PresetView.h"
#include "presets/widgets/PresetWindow.h"
#include "presets/widgets/PresetsPanel.h"
#include "support/LocalHttpServer.h"
#include "support/TestSupport.h"
#include "viewer/widgets/TileMapView.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QtTest>
#include <unistd.h>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// Path -> SHA-256 of every file under a folder.
QMap<QString, QByteArray> fingerprints(const QString& folder)
{
    QMap<QString, QByteArray> sums;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            sums.insert(path, QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256));
    }
    return sums;
}

// exiftool's reading of every photo under a folder, by file name, each tag under
// "Group:Name" so that tags of one name in two places are both compared.
QMap<QString, QJsonObject> exiftoolRead(const QString& folder)
{
    QProcess exiftool;
    exiftool.start(u"exiftool"_s, { u"-j"_s, u"-n"_s, u"-G1"_s, u"-r"_s, folder });
    if (!exiftool.waitForFinished(120000))
        return {};
    QMap<QString, QJsonObject> byName;
    for (const QJsonValue& value : QJsonDocument::fromJson(exiftool.readAllStandardOutput()).array()) {
        const QJsonObject tags = value.toObject();
        byName.insert(QFileInfo(tags.value(u"SourceFile"_s).toString()).fileName(), tags);
    }
    return byName;
}

// Tags that differ between two readings of one photo. Left out: the file system's
// own, those exiftool derives from others (the others are compared themselves), and
// what only says where blocks sit in the file or who wrote it: offsets, the XMP
// toolkit, and exiftool's warnings about a source's maker-note offsets together with
// the maker-note dump it reads only once those offsets are right; and the colour
// model tag that the metadata library drops from a JPEG's Exif on every write (it
// describes strips of a TIFF, never a JPEG).
// Tags named in `edited` and tags whose "Group:" starts with one of `editedGroups`
// are the edits themselves and are checked by the caller.
QStringList differences(const QJsonObject& before, const QJsonObject& after, const QStringList& edited,
    const QStringList& editedGroups = {})
{
    static const QStringList layout = { u"SourceFile"_s, u"ExifTool:Warning"_s, u"XMP-x:XMPToolkit"_s,
        u"Panasonic:DataDump"_s, u"IFD0:PhotometricInterpretation"_s };
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    QStringList changed;
    for (const QString& key : keys) {
        const QString name = key.section(u':', 1);
        if (layout.contains(key) || key.startsWith(u"System:"_s) || key.startsWith(u"Composite:"_s)
            || name.endsWith(u"Offset"_s) || name.endsWith(u"ImageStart"_s) || edited.contains(name)
            || std::any_of(editedGroups.cbegin(), editedGroups.cend(),
                [&key](const QString& group) { return key.startsWith(group); }))
            continue;
        if (before.value(key) != after.value(key))
            changed << key;
    }
    return changed;
}

// Types text as a user does whose keyboard has not every letter: through an input method.
void typeText(QWidget* widget, const QString& text)
{
    QTest::mouseClick(widget, Qt::LeftButton);
    typeThroughInputMethod(widget, text);
}

// The GPS tags that "GPS info" covers: the position, the direction and the date. The
// receiver's own notes (time of day, satellites, map datum) are no part of it and stay.
const QStringList kGpsPosition = { u"GPSLatitude"_s, u"GPSLatitudeRef"_s, u"GPSLongitude"_s, u"GPSLongitudeRef"_s,
    u"GPSAltitude"_s, u"GPSAltitudeRef"_s, u"GPSImgDirection"_s, u"GPSImgDirectionRef"_s, u"GPSDateStamp"_s };

// A network monitor that says the network is there: the online path is then the
// user's choice alone, and its servers are the test's own on 127.0.0.1.
class OnlineReachability : public Reachability {
public:
    bool startNotifier() override { return true; }
    NetworkState currentState() const override
    {
        return { true, NetworkReachability::State::Online, NetworkReachability::Transport::Ethernet };
    }
};

// Tiles of one colour and a Nominatim answer naming every position the same.
LocalHttpServer::Response mapServerAnswer(const LocalHttpServer::Request& request)
{
    if (request.path.startsWith("/reverse"))
        return { 200, "application/json",
            R"({"place_id":1,"name":"Tour Eiffel","address":{"tourism":"Tour Eiffel","city":"Paris",)"
            R"("state":"Île-de-France","country":"France"}})",
            {}, 0 };
    return { 200, "image/png", LocalHttpServer::pngTile(0x8fbf8f), {}, 0 };
}

const QString kArtist = u"山田 太郎 · Пётр Чайковский · Zoë Ångström-Müller"_s;

} // namespace

class RoadTest : public QObject, public RecordedApplication {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_work;

    QString m_lockedPath;

    // Makes a photo one that may not be written: read-only, and for root, whom
    // permissions do not stop, also locked with the immutable flag.
    bool makeUnwritable(const QString& path)
    {
        if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther))
            return false;
        if (::geteuid() != 0)
            return true;
        if (QProcess::execute(u"chattr"_s, { u"+i"_s, path }) != 0)
            return false;
        m_lockedPath = path;
        return true;
    }

    ExifEditorView* editor() const
    {
        return qobject_cast<ExifEditorView*>(m_app->myWindowController()->vwExifEditor());
    }
    template <typename T> T* child(const QString& name) const
    {
        // Sheets and windows of the editor hang on the main window or stand alone.
        T* widget = editor()->findChild<T*>(name);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (widget)
                break;
            widget = top->objectName() == name ? qobject_cast<T*>(top) : top->findChild<T*>(name);
        }
        if (!widget)
            qWarning() << "no widget named" << name;
        return widget;
    }
    MetadataFormView* form() const { return qobject_cast<MetadataFormView*>(editor()->metaContainer()); }
    BatchController* batch() const { return editor()->batchController(); }
    PhotoListModel* model() const { return editor()->photoListPanel()->model(); }

    // Copies sample folders into the work folder; the copies are the user's photos.
    QString copySamples(const QStringList& subfolders)
    {
        const QString root = m_work->path() + u"/Photos"_s;
        for (const QString& sub : subfolders) {
            QDir().mkpath(root + u'/' + sub);
            const QDir from(samplesDir() + u'/' + sub);
            for (const QString& name : from.entryList(QDir::Files)) {
                const QString copy = copyPhoto(from.filePath(name), root + u'/' + sub + u'/' + name);
                // The writer refuses to lay out these cameras' Exif blocks anew, as it cannot keep
                // their maker notes; the path's copies go without them.
                if (sub == u"gps"_s || name.startsWith(u"Konica_Minolta"_s) || name.startsWith(u"Nikon_COOLPIX"_s))
                    QProcess::execute(
                        u"exiftool"_s, { u"-q"_s, u"-overwrite_original"_s, u"-MakerNotes:all="_s, copy });
            }
        }
        return root;
    }

    // The path of a drop or of "Add Folder": the folder goes in, every photo ticked, and
    // the form shows the merged record.
    void addFolder(const QString& folder, int expected)
    {
        QSignalSpy filled(form(), &MetadataFormView::mergedRecordChanged);
        editor()->addPhotosFromPathUrls({ QUrl::fromLocalFile(folder) }, false);
        QTRY_VERIFY_WITH_TIMEOUT(
            !editor()->photoListPanel()->intake()->isRunning() && !editor()->isLoadingShown(), 30000);
        QTRY_COMPARE(model()->rowCount(), expected);
        QCOMPARE(model()->checkedPhotos().size(), expected);
        QTRY_VERIFY_WITH_TIMEOUT(filled.count() > 0 && !form()->state().mergeJob().isRunning(), 30000);
    }

    void chooseEditingMode(const QString& mode)
    {
        QTest::mouseClick(child<QToolButton>(u"btnEditingOption"_s), Qt::LeftButton);
        clickRow(form()->dropDownPopup().table(), mode);
        QCOMPARE(child<QLineEdit>(u"txtMetatDataEditingOption"_s)->text(), mode);
    }

    // Process into a folder of its own through the destination panel (or, with an empty
    // folder, into each photo's own folder); waits for the summary. beforePanel answers
    // what comes between Process and the panel.
    void processInto(const QString& output, const std::function<void()>& beforePanel = {})
    {
        auto* page = qobject_cast<OutputOptionsPage*>(editor()->extentionView());
        if (!output.isEmpty())
            page->model().setDestination(output, false);
        QTRY_VERIFY(child<QPushButton>(u"btnProcess"_s)->isEnabled());
        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        if (beforePanel)
            beforePanel();
        QTRY_VERIFY2(child<QWidget>(u"savePanel"_s) && child<QWidget>(u"savePanel"_s)->isVisible(),
            qPrintable(m_presenter->alerts.isEmpty() ? u"no alert"_s
                                                     : m_presenter->alerts.last().request.message + u" / "_s
                        + m_presenter->alerts.last().request.informativeText));
        QTest::mouseClick(child<QPushButton>(output.isEmpty() ? u"btnSourceFolderCheck"_s : u"btnSelectDestination"_s),
            Qt::LeftButton);
        // Working on the sources themselves, renaming, or a run without edits is
        // confirmed first; the user says Yes to each such question.
        const QStringList confirmations = { u"START PROCESS"_s, u"NO CHANGES IN EXIF DATA"_s };
        const auto summaryShown = [this] { return batch()->summaryWindow() && batch()->summaryWindow()->isVisible(); };
        while (QTest::qWaitFor([&] { return summaryShown() || !m_presenter->alerts.isEmpty(); }, 60000)
            && !m_presenter->alerts.isEmpty() && confirmations.contains(m_presenter->alerts.last().request.message))
            m_presenter->alerts.takeLast().answer(0);
        QTRY_VERIFY2_WITH_TIMEOUT(batch()->summaryWindow() && batch()->summaryWindow()->isVisible(),
            qPrintable(m_presenter->alerts.isEmpty() ? u"no alert"_s
                                                     : m_presenter->alerts.last().request.objectName + u" "_s
                        + m_presenter->alerts.last().request.message),
            60000);
        QVERIFY2(m_presenter->alerts.isEmpty(),
            qPrintable(m_presenter->alerts.isEmpty() ? QString() : m_presenter->alerts.last().request.message));
    }

    void restore()
    {
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(u"btnRestore"_s), Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QSignalSpy finished(batch(), &BatchController::runFinished);
        m_presenter->alerts.takeLast().answer(0);
        QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 60000);
        QCOMPARE(finished.first().first().toBool(), true);
    }

private slots:
    void initTestCase()
    {
        initializeExiv2();
        QVERIFY(m_home.isValid());
        isolateUserFolders(m_home.path());
        if (QStandardPaths::findExecutable(u"exiftool"_s).isEmpty())
            QSKIP("exiftool is needed as a second reader (scripts/setup-debian installs it)");
    }

private:
    // Starts the application object as main() does, with questions answered by the test.
    void launch()
    {
        startApplication();
        m_app->setTerminateHandler([] {});
        m_app->setInternetReachability(std::make_unique<OnlineReachability>());
        m_app->applicationDidFinishLaunching();
        MainWindowController* controller = m_app->myWindowController();
        QVERIFY(QTest::qWaitForWindowExposed(controller->windowMain()));
        controller->hideAddPhotosWindow();
        QVERIFY(editor());
    }

private slots:
    void init()
    {
        clearUserDefaults();
        m_work = std::make_unique<QTemporaryDir>();
        QVERIFY(m_work->isValid());
        launch();
    }

    void cleanup()
    {
        if (!m_lockedPath.isEmpty())
            QProcess::execute(u"chattr"_s, { u"-i"_s, std::exchange(m_lockedPath, QString()) });
        m_app.reset();
        m_work.reset();
    }

    // Add a folder, type an Artist in three scripts, shift the original date by an
    // hour, edit only those fields, process into a new folder, then restore.
    void anEditedArtistAndAShiftedDateReachEveryOutputAndRestoreUndoesThem()
    {
        const QString photos = copySamples({ u"camera"_s });
        const int count = int(QDir(photos + u"/camera"_s).entryList(QDir::Files).size());
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, count);

        chooseEditingMode(u"Only modify fields that I edit and keep others as it is"_s);
        typeText(child<QLineEdit>(u"txtArtist"_s), kArtist);
        form()->showTab(FormTab::DateTime);
        // The editor's buttons come back a moment after a list closes.
        QTRY_VERIFY(child<QToolButton>(u"btnDatePickerDate_Original"_s)->isEnabled());
        QTest::mouseClick(child<QToolButton>(u"btnDatePickerDate_Original"_s), Qt::LeftButton);
        QTRY_VERIFY(form()->datePopup().isOpen());
        DatePanelView& panel = form()->datePanel();
        clickBox(panel.findChild<QRadioButton*>(u"btnIncDecTime"_s));
        auto* hours = panel.findChild<QLineEdit*>(u"txtIncDecHour"_s);
        hours->selectAll();
        QTest::keyClicks(hours, u"1"_s);
        // Minutes and seconds stay as they are.
        clickBox(panel.findChild<QCheckBox*>(u"checkMinuteIncDec"_s));
        clickBox(panel.findChild<QCheckBox*>(u"checkSecondIncDec"_s));
        QCOMPARE(child<QLineEdit>(u"txtDate_Original"_s)->text(), u"Shift time by +1 hour"_s);
        QTest::mouseClick(child<QTabBar>(u"segmentMetaEdit"_s), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!form()->datePopup().isOpen());

        const QString output = m_work->path() + u"/Processed"_s;
        processInto(output);
        QCOMPARE(batch()->runner().state().succeeded, count);
        QCOMPARE(
            batch()->summaryWindow()->findChild<QLabel*>(u"lblBatchCountSummary"_s)->text(), QString::number(count));

        const QMap<QString, QJsonObject> written = exiftoolRead(output);
        QCOMPARE(written.size(), count);
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QVERIFY2(written.contains(it.key()), qPrintable(it.key()));
            const QJsonObject& out = written[it.key()];
            QCOMPARE(out.value(u"IFD0:Artist"_s).toString(), kArtist);
            const QString original = it->value(u"ExifIFD:DateTimeOriginal"_s).toString();
            if (!original.isEmpty()) {
                const QDateTime shifted = QDateTime::fromString(original, u"yyyy:MM:dd HH:mm:ss"_s).addSecs(3600);
                QCOMPARE(
                    out.value(u"ExifIFD:DateTimeOriginal"_s).toString(), shifted.toString(u"yyyy:MM:dd HH:mm:ss"_s));
            }
            const QStringList changed = differences(*it, out, { u"Artist"_s, u"DateTimeOriginal"_s });
            QVERIFY2(changed.isEmpty(), qPrintable(it.key() + u": "_s + changed.join(u", "_s)));
        }

        restore();
        const QMap<QString, QJsonObject> restored = exiftoolRead(output);
        QStringList notAsBefore;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QJsonObject& out = restored[it.key()];
            QCOMPARE(out.value(u"IFD0:Artist"_s), it->value(u"IFD0:Artist"_s));
            QCOMPARE(out.value(u"ExifIFD:DateTimeOriginal"_s), it->value(u"ExifIFD:DateTimeOriginal"_s));
            for (const QString& key : differences(*it, out, {}))
                notAsBefore << it.key() + u' ' + key;
        }
        // A restore gives each output the source's own metadata, value for value.
        QVERIFY2(notAsBefore.isEmpty(), qPrintable(notAsBefore.join(u", "_s)));
        QCOMPARE(fingerprints(photos), sources);
    }

    // One phone photo (HEIC, written through exiftool) takes the same path: edited,
    // processed into a new folder, read back with every other tag as it was, restored.
    void aHeicPhotoIsEditedProcessedAndRestored()
    {
        const QString photos = m_work->path() + u"/Phone"_s;
        QDir().mkpath(photos);
        copyPhoto(samplesDir() + u"/heif/IMG_3578.heic"_s, photos + u"/IMG_3578.heic"_s);
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, 1);

        chooseEditingMode(u"Only modify fields that I edit and keep others as it is"_s);
        typeText(child<QLineEdit>(u"txtArtist"_s), kArtist);
        const QString output = m_work->path() + u"/Processed"_s;
        processInto(output);
        QCOMPARE(batch()->runner().state().succeeded, 1);

        const QJsonObject written = exiftoolRead(output).value(u"IMG_3578.heic"_s);
        QCOMPARE(written.value(u"IFD0:Artist"_s).toString(), kArtist);
        // The container's own sizes follow the longer Exif item.
        const QStringList changed = differences(before.first(), written, { u"Artist"_s, u"MediaDataSize"_s });
        QVERIFY2(changed.isEmpty(), qPrintable(changed.join(u", "_s)));

        restore();
        const QStringList notAsBefore = differences(before.first(), exiftoolRead(output).value(u"IMG_3578.heic"_s), {});
        QVERIFY2(notAsBefore.isEmpty(), qPrintable(notAsBefore.join(u", "_s)));
        QCOMPARE(fingerprints(photos), sources);
    }

    // Keep Source Folder Path with the names kept: each source is replaced by its
    // finished file and by nothing else; a read-only photo is refused and kept as it was.
    void keepingTheSourceFolderEditsTheSourcesAndRefusesAReadOnlyPhoto()
    {
        const QString photos = copySamples({ u"orientation"_s });
        const QDir folder(photos + u"/orientation"_s);
        const QStringList names = folder.entryList(QDir::Files);
        const QString locked = folder.filePath(names.first());
        if (!makeUnwritable(locked))
            QSKIP("the photo could not be made unwritable here (root without the right to lock files)");
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, int(names.size()));

        typeText(child<QLineEdit>(u"txtArtist"_s), kArtist);
        processInto(QString());
        QCOMPARE(batch()->runner().state().succeeded, int(names.size()) - 1);
        for (const auto& photo : model()->checkedPhotos())
            QCOMPARE(photo->processStatus, photo->filePath == locked ? 8 : 0);

        // Nothing but the photos themselves in the folder: no copies, no temporary files.
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), names);
        const QMap<QString, QByteArray> after = fingerprints(photos);
        QCOMPARE(after.value(locked), sources.value(locked));
        const QMap<QString, QJsonObject> written = exiftoolRead(photos);
        for (const QString& name : names) {
            const QJsonObject& out = written[name];
            if (folder.filePath(name) == locked) {
                QCOMPARE(out.value(u"IFD0:Artist"_s), before[name].value(u"IFD0:Artist"_s));
                continue;
            }
            QVERIFY2(after.value(folder.filePath(name)) != sources.value(folder.filePath(name)), qPrintable(name));
            QCOMPARE(out.value(u"IFD0:Artist"_s).toString(), kArtist);
            const QStringList changed = differences(before[name], out, { u"Artist"_s });
            QVERIFY2(changed.isEmpty(), qPrintable(name + u": "_s + changed.join(u", "_s)));
        }
    }

    // "Clean Metadata info" with GPS and XMP ticked: the position and all XMP are gone
    // from every output, everything else is as it was.
    void cleaningGpsAndXmpRemovesThemAndNothingElse()
    {
        const QString photos = copySamples({ u"gps"_s, u"xmp"_s });
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, int(before.size()));

        chooseEditingMode(u"Clean Metadata info"_s);
        QTRY_VERIFY(child<QCheckBox>(u"checkClearGps"_s)->isEnabled());
        clickBox(child<QCheckBox>(u"checkClearGps"_s));
        clickBox(child<QCheckBox>(u"checkClearXmp"_s));
        QVERIFY(child<QCheckBox>(u"checkClearGps"_s)->isChecked());
        QVERIFY(child<QCheckBox>(u"checkClearXmp"_s)->isChecked());

        const QString output = m_work->path() + u"/Cleaned"_s;
        processInto(output);
        QCOMPARE(batch()->runner().state().succeeded, int(before.size()));
        const QMap<QString, QJsonObject> written = exiftoolRead(output);
        QCOMPARE(written.size(), before.size());
        bool hadGps = false;
        bool hadXmp = false;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QJsonObject& out = written[it.key()];
            for (const QString& key : it->keys()) {
                hadGps = hadGps || key == u"GPS:GPSLatitude"_s;
                hadXmp = hadXmp || key.startsWith(u"XMP-"_s);
            }
            for (const QString& key : out.keys())
                QVERIFY2(!(key.startsWith(u"GPS:"_s) && kGpsPosition.contains(key.section(u':', 1)))
                        && !key.startsWith(u"XMP-"_s),
                    qPrintable(it.key() + u": "_s + key));
            const QStringList changed = differences(*it, out, kGpsPosition, { u"XMP-"_s });
            QVERIFY2(changed.isEmpty(), qPrintable(it.key() + u": "_s + changed.join(u", "_s)));
        }
        // The samples did carry both, so the path proves something.
        QVERIFY(hadGps);
        QVERIFY(hadXmp);
        QCOMPARE(fingerprints(photos), sources);
    }

    // Renaming by date, city and pixel size: photos with a position get the city of the
    // offline list in their names, those without get names without one and a warning,
    // and no two outputs share a name.
    void renamingByDateCityAndSizeNamesEveryOutputOnce()
    {
        const QString photos = copySamples({ u"gps"_s, u"orientation"_s });
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, int(before.size()));

        QTRY_VERIFY(child<QAbstractButton>(u"btnNext"_s)->isEnabled());
        QTest::mouseClick(child<QAbstractButton>(u"btnNext"_s), Qt::LeftButton);
        for (const QString& name : { u"btnEditOriginalName"_s, u"btnAddEXIFDateTime"_s, u"btnAddEXIFLocation"_s,
                 u"btnAddEXIFAppendWidthHeight"_s })
            QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
        // Of the place name's parts, the city alone.
        const QMap<QString, int> parts = { { u"btnPlaceGet"_s, 0 }, { u"btnCityGet"_s, 1 },
            { u"btnStateProvinceGet"_s, 0 }, { u"btnCountryGet"_s, 0 } };
        for (auto it = parts.cbegin(); it != parts.cend(); ++it) {
            auto* tick = child<IMGButton>(it.key());
            if (tick->state() != it.value())
                QTest::mouseClick(tick, Qt::LeftButton);
            QCOMPARE(tick->state(), it.value());
        }
        QVERIFY(editor()->batchController()->isRenamingInForce());
        const QString output = m_work->path() + u"/Renamed"_s;
        // Names by place may go online: the one question about it comes first, and
        // "Offline Only" names them from GeoNames.
        processInto(output, [this] {
            QTRY_COMPARE(m_presenter->alerts.size(), 1);
            QCOMPARE(m_presenter->alerts.last().request.objectName, u"alertOnlineServices"_s);
            m_presenter->alerts.takeLast().answer(1);
            QCOMPARE(OnlineServices::settingsFrom(m_app->defaults()).consent, OnlineServices::Consent::OfflineOnly);
        });

        QSet<QString> warned;
        for (const auto& record : batch()->runner().warningRecords()) {
            // 10: a photo without a date to name it by; 11: without a place.
            QVERIFY(record->processStatus == 10 || record->processStatus == 11);
            if (record->processStatus == 11)
                warned.insert(record->filePath);
        }
        QSet<QString> withoutPosition;
        const QStringList names = QDir(output).entryList(QDir::Files);
        QCOMPARE(names.size(), before.size());
        for (const auto& photo : model()->checkedPhotos()) {
            const QString written = QFileInfo(photo->processedPath).fileName();
            QVERIFY2(names.contains(written), qPrintable(written));
            const bool hasPosition = before[QFileInfo(photo->filePath).fileName()].contains(u"GPS:GPSLatitude"_s);
            QVERIFY2(written.contains(u"Arezzo"_s) == hasPosition, qPrintable(photo->filePath + u" -> "_s + written));
            if (!hasPosition)
                withoutPosition.insert(photo->filePath);
        }
        QVERIFY(!withoutPosition.isEmpty());
        QCOMPARE(warned, withoutPosition);
        QCOMPARE(batch()->runner().state().succeeded, int(before.size()));
        QCOMPARE(fingerprints(photos), sources);
    }

    // The map picker from the GPS tab: asked once about going online, tiles from the
    // test's server, a click places the pin and the server names it; Choose fills the
    // four GPS fields, outlined as edits, and every output carries the position.
    // Remove then clears the fields.
    void aPositionPickedOnTheMapReachesEveryOutputAndRemoveClearsIt()
    {
        LocalHttpServer server(&mapServerAnswer);
        UserDefaults& defaults = m_app->defaults();
        defaults.setString(server.baseUrl() + u"/tiles/{z}/{x}/{y}.png"_s, UserDefaults::kMapTileUrlKey);
        defaults.setString(server.baseUrl() + u"/reverse"_s, UserDefaults::kGeocoderUrlKey);
        const QString photos = copySamples({ u"gps"_s });
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const QMap<QString, QJsonObject> before = exiftoolRead(photos);
        addFolder(photos, int(before.size()));

        QTest::mouseClick(child<QTabBar>(u"segmentMetaEdit"_s), Qt::LeftButton, {},
            child<QTabBar>(u"segmentMetaEdit"_s)->tabRect(int(FormTab::Gps)).center());
        auto* showMap = child<QPushButton>(u"btnShowMap"_s);
        QTRY_VERIFY(showMap->isVisible() && showMap->isEnabled());
        QTest::mouseClick(showMap, Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.last().request.objectName, u"alertOnlineServices"_s);
        m_presenter->alerts.takeLast().answer(0);
        QCOMPARE(OnlineServices::settingsFrom(defaults).consent, OnlineServices::Consent::Online);

        auto* picker = child<MapPickerWindow>(u"winMapview"_s);
        QVERIFY(picker);
        QVERIFY(QTest::qWaitForWindowExposed(picker));
        auto* map = picker->findChild<TileMapView*>(u"mapviewRef"_s);
        QVERIFY2(!picker->pin(), "the photos' positions differ: no pin");
        for (int i = 0; i < 4; ++i)
            QTest::mouseClick(map->findChild<QToolButton*>(u"btnZoomIn"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(server.requestCount() > 0, 10000);

        const QPoint point = map->rect().center() + QPoint(37, -23);
        const QPointF expected = map->viewport().toCoordinate(point); // (longitude, latitude)
        const double pixel = map->viewport().degreesPerPixel();
        QTest::mouseClick(map, Qt::LeftButton, {}, point);
        QVERIFY(picker->pin());
        QTRY_COMPARE_WITH_TIMEOUT(picker->findChild<QLabel*>(u"lblMapTitle"_s)->text(),
            u"Tour Eiffel, Paris, Île-de-France, France"_s, 10000);
        QTest::mouseClick(picker->findChild<QPushButton*>(u"btnChooseLocation"_s), Qt::LeftButton);
        QTRY_VERIFY(!editor()->window()->findChild<MapPickerWindow*>(u"winMapview"_s));

        const auto shown = [this](const char* name) { return child<QLineEdit>(QString::fromLatin1(name)); };
        const double latitude = shown("txtGPS_Lattitude")->text().toDouble()
            * (shown("txtGPS_LattitudeRef")->text() == u"South"_s ? -1 : 1);
        const double longitude = shown("txtGPS_Longitude")->text().toDouble()
            * (shown("txtGPS_LongitudeRef")->text() == u"West"_s ? -1 : 1);
        QVERIFY2(std::abs(latitude - expected.y()) <= pixel && std::abs(longitude - expected.x()) <= pixel,
            qPrintable(u"%1 %2 vs %3 %4"_s.arg(latitude).arg(longitude).arg(expected.y()).arg(expected.x())));
        for (const char* name :
            { "txtGPS_Lattitude", "txtGPS_LattitudeRef", "txtGPS_Longitude", "txtGPS_LongitudeRef" })
            QVERIFY2(shown(name)->property("edited").toBool(), name);

        const QString output = m_work->path() + u"/Placed"_s;
        processInto(output);
        QCOMPARE(batch()->runner().state().succeeded, int(before.size()));
        const QMap<QString, QJsonObject> written = exiftoolRead(output);
        QCOMPARE(written.size(), before.size());
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            const double lat = it->value(u"GPS:GPSLatitude"_s).toDouble()
                * (it->value(u"GPS:GPSLatitudeRef"_s).toString() == u"S"_s ? -1 : 1);
            const double lon = it->value(u"GPS:GPSLongitude"_s).toDouble()
                * (it->value(u"GPS:GPSLongitudeRef"_s).toString() == u"W"_s ? -1 : 1);
            QVERIFY2(std::abs(lat - latitude) < 1e-5 && std::abs(lon - longitude) < 1e-5,
                qPrintable(it.key() + u": %1 %2"_s.arg(lat).arg(lon)));
        }
        QCOMPARE(fingerprints(photos), sources);

        // Remove, once the form shows the sources again: nothing more is asked, and the
        // four fields are emptied as edits, which a write erases.
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        QTRY_VERIFY(!batch()->summaryWindow() || !batch()->summaryWindow()->isVisible());
        QTRY_VERIFY(showMap->isVisible() && showMap->isEnabled());
        QTest::mouseClick(showMap, Qt::LeftButton);
        QVERIFY(m_presenter->alerts.isEmpty());
        QTRY_VERIFY(editor()->window()->findChild<MapPickerWindow*>(u"winMapview"_s));
        picker = editor()->window()->findChild<MapPickerWindow*>(u"winMapview"_s);
        QTest::mouseClick(picker->findChild<QPushButton*>(u"btnRemoveLocation"_s), Qt::LeftButton);
        for (const char* name :
            { "txtGPS_Lattitude", "txtGPS_LattitudeRef", "txtGPS_Longitude", "txtGPS_LongitudeRef" }) {
            QVERIFY2(shown(name)->text().isEmpty(), name);
            QVERIFY2(shown(name)->property("edited").toBool(), name);
        }
    }

    // Renaming by place while online: the test's geocoder names every photo with a
    // position, so none warns that its place was not found. With the server gone, the
    // names fall back to the GeoNames city, state and country.
    void renamingByPlaceTakesTheGeocodersNameAndGeoNamesWhenTheServerIsDown()
    {
        const QString photos = copySamples({ u"gps"_s });
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const int count = int(QDir(photos + u"/gps"_s).entryList(QDir::Files).size());
        UserDefaults& defaults = m_app->defaults();
        OnlineServices::storeConsent(defaults, true);
        QString downUrl;
        {
            LocalHttpServer server(&mapServerAnswer);
            defaults.setString(server.baseUrl() + u"/reverse"_s, UserDefaults::kGeocoderUrlKey);
            downUrl = server.baseUrl() + u"/down/reverse"_s;
            addFolder(photos, count);
            QTRY_VERIFY(child<QAbstractButton>(u"btnNext"_s)->isEnabled());
            QTest::mouseClick(child<QAbstractButton>(u"btnNext"_s), Qt::LeftButton);
            for (const QString& name : { u"btnEditOriginalName"_s, u"btnAddEXIFLocation"_s })
                QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
            for (const QString& name :
                { u"btnPlaceGet"_s, u"btnCityGet"_s, u"btnStateProvinceGet"_s, u"btnCountryGet"_s }) {
                auto* tick = child<IMGButton>(name);
                if (tick->state() != 1)
                    QTest::mouseClick(tick, Qt::LeftButton);
                QCOMPARE(tick->state(), 1);
            }
            const QString online = m_work->path() + u"/Online"_s;
            processInto(online);
            QVERIFY(server.requestCount() > 0);
            QVERIFY(batch()->runner().warningRecords().isEmpty());
            const QStringList names = QDir(online).entryList(QDir::Files);
            QCOMPARE(names.size(), count);
            for (const QString& name : names)
                QVERIFY2(name.contains(u"Tour-Eiffel_Paris_Île-de-France_France"_s), qPrintable(name));
        }

        defaults.setString(downUrl, UserDefaults::kGeocoderUrlKey);
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        QTRY_VERIFY(!batch()->summaryWindow() || !batch()->summaryWindow()->isVisible());
        QVERIFY(editor()->batchController()->isRenamingInForce());
        const QString offline = m_work->path() + u"/Offline"_s;
        processInto(offline);
        const QStringList names = QDir(offline).entryList(QDir::Files);
        QCOMPARE(names.size(), count);
        for (const QString& name : names)
            QVERIFY2(name.contains(u"Arezzo"_s) && !name.contains(u"Eiffel"_s), qPrintable(name));
        QCOMPARE(fingerprints(photos), sources);
    }

    // A preset made in the preset window, applied to the editor and processed; the
    // preset is still there after the application object starts again.
    void aPresetMadeInThePresetWindowIsAppliedProcessedAndSurvivesARestart()
    {
        const QString photos = copySamples({ u"xmp"_s });
        const QMap<QString, QByteArray> sources = fingerprints(photos);
        const int count = int(QDir(photos + u"/xmp"_s).entryList(QDir::Files).size());
        addFolder(photos, count);

        // The window opens from the last row of the Presets drop-down.
        PresetsPanel* presets = editor()->presetsPanel();
        QTRY_VERIFY(presets->button()->isEnabled());
        QTest::mouseClick(presets->button(), Qt::LeftButton);
        AttachedPopupTable* popup = &editor()->context().attachedPopup();
        QVERIFY(popup->isOpen());
        const QAbstractItemModel* rows = popup->table()->model();
        const QModelIndexList last
            = rows->match(rows->index(0, 0), Qt::DisplayRole, PresetsPanel::kEditPresetsRow, 1, Qt::MatchExactly);
        QVERIFY(!last.isEmpty());
        popup->choose(last.first().row());
        PresetWindow* window = presets->presetWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        PresetView& view = window->presetView();
        QTest::mouseClick(view.findChild<QPushButton*>(u"btnAddPreset"_s), Qt::LeftButton);
        auto* name = view.findChild<QLineEdit*>(u"txtPresetName"_s);
        name->selectAll();
        QTest::keyClicks(name, u"Road preset"_s);
        QTest::keyClick(name, Qt::Key_Return);
        typeText(view.form().findChild<QLineEdit*>(u"txtArtist"_s), kArtist);
        QTest::mouseClick(view.findChild<QPushButton*>(u"btnApplyPreset"_s), Qt::LeftButton);
        QTRY_VERIFY(!presets->presetWindow());
        QCOMPARE(form()->findChild<QLineEdit*>(u"txtArtist"_s)->text(), kArtist);

        const QString output = m_work->path() + u"/WithPreset"_s;
        processInto(output);
        QCOMPARE(batch()->runner().state().succeeded, count);
        const QMap<QString, QJsonObject> written = exiftoolRead(output);
        QCOMPARE(written.size(), count);
        for (const QJsonObject& out : written)
            QCOMPARE(out.value(u"IFD0:Artist"_s).toString(), kArtist);
        QCOMPARE(fingerprints(photos), sources);

        // The application ends and starts again: the preset is read back.
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        m_app->terminate();
        m_app.reset();
        launch();
        const auto found = std::find_if(m_app->arrayPresets.cbegin(), m_app->arrayPresets.cend(),
            [](const auto& preset) { return preset->name == u"Road preset"_s; });
        QVERIFY(found != m_app->arrayPresets.cend());
        QCOMPARE((*found)->Artist(), kArtist);
    }

    // A folder dropped while the renaming page renames asks first whether renaming
    // should be reset; No adds nothing and leaves the renaming as it was.
    void aDropWhileRenamingAsksFirstAndNoAddsNothing()
    {
        const QString photos = copySamples({ u"orientation"_s });
        const QString more = m_work->path() + u"/More"_s;
        QVERIFY(QDir().mkpath(more));
        QVERIFY(QFile::copy(samplesDir() + u"/gps/DSCN0010.jpg"_s, more + u"/DSCN0010.jpg"_s));
        const int count = int(QDir(photos + u"/orientation"_s).entryList(QDir::Files).size());
        const QMap<QString, QByteArray> sources = fingerprints(m_work->path());
        addFolder(photos, count);

        QTRY_VERIFY(child<QAbstractButton>(u"btnNext"_s)->isEnabled());
        QTest::mouseClick(child<QAbstractButton>(u"btnNext"_s), Qt::LeftButton);
        QVERIFY(editor()->isRenamingPageShown());
        QTest::mouseClick(child<QAbstractButton>(u"btnEditOriginalName"_s), Qt::LeftButton);
        QTest::mouseClick(child<QAbstractButton>(u"btnAddEXIFDateTime"_s), Qt::LeftButton);
        QVERIFY(editor()->batchController()->isRenamingInForce());

        QMimeData dropped;
        dropped.setUrls({ QUrl::fromLocalFile(more) });
        QVERIFY(editor()->photoListPanel()->leftBox()->performDrop(&dropped));
        ResetRenamePrompt* prompt = editor()->photoListPanel()->resetRenameSheet();
        QTRY_VERIFY(prompt->isVisible());
        QTest::mouseClick(prompt->noButton(), Qt::LeftButton);
        QTRY_VERIFY(!prompt->isVisible());
        QVERIFY(!editor()->photoListPanel()->intake()->isRunning());
        QCOMPARE(model()->rowCount(), count);
        QVERIFY(editor()->batchController()->isRenamingInForce());
        QVERIFY(editor()->isRenamingPageShown());
        QCOMPARE(fingerprints(m_work->path()), sources);
    }
};

QTEST_MAIN(RoadTest)
#include "RoadTest.moc"
