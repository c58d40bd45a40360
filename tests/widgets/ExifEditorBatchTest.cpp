// The batch inside the real editor view: the renaming page and the bar in their
// places, a run from the form's edits through the one alert sheet and the
// application's services, and the editor's shared list for the date lists.
#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "platform/UserDefaults.h"
#include "batch/list/PhotoListModel.h"
#include "batch/run/widgets/BatchBottomBar.h"
#include "batch/run/widgets/BatchController.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/alerts/widgets/AlertSheet.h"
#include "batch/intake/widgets/DragDropBox.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/EditorContext.h"
#include "controls/AttachedPopupTable.h"
#include "form/FormFieldTable.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Setup.h"
#include "presets/widgets/PresetView.h"
#include "presets/widgets/PresetWindow.h"
#include "presets/widgets/PresetsPanel.h"
#include "support/TestSupport.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

class ExifEditorBatchTest : public QObject, public RecordedApplication {
    Q_OBJECT

    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    ExifEditorView* m_editor = nullptr;

    template <typename T> T* child(const QString& name) const { return m_editor->findChild<T*>(name); }
    PhotoListModel* model() const { return m_editor->photoListPanel()->model(); }
    MetadataFormView* form() const { return qobject_cast<MetadataFormView*>(m_editor->metaContainer()); }
    BatchController* batch() const { return m_editor->batchController(); }

    void addPhotos(int count)
    {
        QList<std::shared_ptr<PhotoFile>> photos;
        for (int i = 0; i < count; ++i) {
            photos.append(tickedCopy(
                samplesDir() + u"/camera/Canon_40D.jpg"_s, m_dir.path() + u"/sources/photo-%1.jpg"_s.arg(i)));
            QVERIFY(!photos.last()->filePath.isEmpty());
        }
        appendToEditor(*m_editor, photos);
    }

    // Shift the time (each part by 1) on a date field through its date panel, closed again.
    void shiftTime(MetadataField field)
    {
        form()->showTab(FormFieldTable::sharedTable().field(field).tab);
        auto* picker = child<QToolButton>(u"btnDatePicker"_s + QString::fromLatin1(fieldInfo(field).name));
        QTRY_VERIFY(picker->isEnabled());
        QTest::mouseClick(picker, Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form()->datePopup().attachedWindow()));
        clickBox(form()->datePanel().findChild<QRadioButton*>(u"btnIncDecTime"_s));
        // The editor's buttons come back a moment after the panel closed.
        QSignalSpy released(&form()->datePopup(), &AttachedPopupTable::buttonsReleased);
        form()->datePopup().dismissPanel();
        QVERIFY(released.wait());
    }

    // A preset that sets only Software, made in the preset window and applied.
    void applySoftwarePreset()
    {
        PresetsPanel* presets = m_editor->presetsPanel();
        presets->changeViewAccordingToPresetSelected(int(m_app->arrayPresets.size()));
        QVERIFY(presets->presetWindow());
        PresetView& view = presets->presetWindow()->presetView();
        QTest::mouseClick(view.findChild<QPushButton*>(u"btnAddPreset"_s), Qt::LeftButton);
        QTest::keyClicks(view.form().findChild<QLineEdit*>(u"txtSoftware"_s), u"Studio Preset"_s);
        QTest::mouseClick(view.findChild<QPushButton*>(u"btnApplyPreset"_s), Qt::LeftButton);
        QTRY_VERIFY(!presets->presetWindow());
    }

    // exiftool's reading of one tag, "" when the file lacks it.
    static QString exiftoolTag(const QString& path, const QString& tag)
    {
        QProcess exiftool;
        exiftool.start(u"exiftool"_s, { u"-s3"_s, u"-"_s + tag, path });
        exiftool.waitForFinished(60000);
        return QString::fromUtf8(exiftool.readAllStandardOutput()).trimmed();
    }

private slots:
    void initTestCase()
    {
        initializeExiv2();
        isolateUserFolders(m_home.path());
    }

    void init()
    {
        clearUserDefaults();
        startApplication();
        m_editor = showEditor<ExifEditorView>(*m_app, QSize(1050, 700));
        QVERIFY(QTest::qWaitForWindowExposed(m_editor));
    }

    void cleanup()
    {
        delete m_editor;
        m_app.reset();
    }

    void thePanelsTakeTheirPlacesAndNextSlidesThePageIn()
    {
        QVERIFY(qobject_cast<OutputOptionsPage*>(m_editor->extentionView()));
        QVERIFY(qobject_cast<BatchBottomBar*>(m_editor->bottomBar()));
        addPhotos(1);
        QTest::mouseClick(child<QAbstractButton>(u"btnNext"_s), Qt::LeftButton);
        QVERIFY(m_editor->isRenamingPageShown());
        QVERIFY(m_editor->onImageRenameOptionPage());
        // The date lists open in the editor's one shared list.
        auto* page = qobject_cast<OutputOptionsPage*>(m_editor->extentionView());
        page->btnOutputRenamingOptionTapped(true);
        page->btnEditingNameOptionTapped(OutputOptionsModel::Option::Date);
        QTest::mouseClick(child<QPushButton>(u"btnAddEXIFDateTimeFormatOption"_s), Qt::LeftButton);
        AttachedPopupTable* popup = &m_editor->context().attachedPopup();
        QVERIFY(popup->isOpen());
        QCOMPARE(popup->currentType(), AttachPopupRenameDateFormat);
        popup->choose(19);
        QCOMPARE(page->model().selectedDateFormat, 19);
        // The page's buttons come back a moment after the list closed.
        QTRY_VERIFY(child<QPushButton>(u"btnBackToProperties"_s)->isEnabled());
        QTest::mouseClick(child<QPushButton>(u"btnBackToProperties"_s), Qt::LeftButton);
        QVERIFY(!m_editor->isRenamingPageShown());
        QVERIFY(m_editor->batchController()->isRenamingInForce());
        QVERIFY(child<QWidget>(u"vwRenameToast"_s)->isVisibleTo(m_editor));
    }

    // Photos that come in while a date list of the renaming page is open put the page
    // away and reset the renaming: the list goes with the page.
    void aDateListClosesWhenPhotosComeInAndPutThePageAway()
    {
        addPhotos(1);
        QTest::mouseClick(child<QAbstractButton>(u"btnNext"_s), Qt::LeftButton);
        auto* page = qobject_cast<OutputOptionsPage*>(m_editor->extentionView());
        page->btnOutputRenamingOptionTapped(true);
        page->btnEditingNameOptionTapped(OutputOptionsModel::Option::Date);
        QTest::mouseClick(child<QPushButton>(u"btnAddEXIFDateTimeFormatOption"_s), Qt::LeftButton);
        AttachedPopupTable& popup = m_editor->context().attachedPopup();
        QVERIFY(popup.isOpen());
        appendToEditor(*m_editor,
            { tickedCopy(samplesDir() + u"/camera/Canon_40D.jpg"_s, m_dir.path() + u"/sources/later.jpg"_s) });
        QVERIFY(!m_editor->isRenamingPageShown());
        QVERIFY(!m_editor->batchController()->isRenamingInForce());
        QVERIFY(!popup.isOpen());
    }

    void aRunWritesTheFormsEditsAndTheSummaryCountsTowardTheRatePrompt()
    {
        addPhotos(2);
        QTest::keyClicks(child<QLineEdit>(u"txtArtist"_s), u"Editor Artist"_s);
        QVERIFY(m_editor->isParamsChanged());
        const QString output = m_dir.path() + u"/Out"_s;
        auto* page = qobject_cast<OutputOptionsPage*>(m_editor->extentionView());
        page->model().setDestination(output, false);
        bool askedBeforeClosing = false;
        connect(batch(), &BatchController::runStarted, this, [this, &askedBeforeClosing] {
            askedBeforeClosing = m_editor->isParamsChanged() && m_editor->isBatchRunning();
        });

        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QTRY_VERIFY(child<QWidget>(u"savePanel"_s) && child<QWidget>(u"savePanel"_s)->isVisible());
        QTest::mouseClick(child<QPushButton>(u"btnSelectDestination"_s), Qt::LeftButton);
        QTRY_VERIFY(batch()->summaryWindow() && batch()->summaryWindow()->isVisible());
        QVERIFY(askedBeforeClosing);
        QVERIFY(m_presenter->alerts.isEmpty());
        QCOMPARE(batch()->runner().state().succeeded, 2);
        const PhotoFile written(output + u"/photo-0.jpg"_s, false);
        QCOMPARE(written.metadataObject->field(MetadataField::Artist), u"Editor Artist"_s);
        // The run's edits are done with; the photos' own records are untouched.
        QVERIFY(!form()->isParamsChanged());
        QVERIFY(model()->checkedPhotos().first()->metadataObject->field(MetadataField::Artist) != u"Editor Artist"_s);

        QTest::mouseClick(child<QPushButton>(u"btnOpenOutputFolder"_s), Qt::LeftButton);
        QCOMPARE(m_opener->opened, QList<QUrl> { QUrl::fromLocalFile(output) });
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        QCOMPARE(m_app->defaults().integerForKey(u"rateMeCounter"_s), std::optional<int>(1));

        // Restore goes through the one alert sheet.
        QTest::mouseClick(child<QPushButton>(u"btnRestore"_s), Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.last().request.objectName, u"winAlert"_s);
        QSignalSpy restored(batch(), &BatchController::runFinished);
        m_presenter->alerts.last().answer(0);
        QTRY_COMPARE(restored.size(), 1);
        QCOMPARE(restored.first().first().toBool(), true);
    }

    void aDateShiftAndAPresetInEitherOrderAreWrittenAsTheFormShows_data()
    {
        QTest::addColumn<bool>("presetFirst");
        QTest::newRow("shift, then preset") << false;
        QTest::newRow("preset, then shift") << true;
    }

    void aDateShiftAndAPresetInEitherOrderAreWrittenAsTheFormShows()
    {
        QFETCH(bool, presetFirst);
        addPhotos(1);
        const QString shift = u"Shift time by +1 hour, +1 minute, +1 second"_s;
        if (presetFirst)
            applySoftwarePreset();
        shiftTime(MetadataField::XMP_PhotoshopDateCreated);
        shiftTime(MetadataField::Date_Original);
        QTest::mouseClick(child<QPushButton>(u"btnApplyChanges"_s), Qt::LeftButton);
        if (!presetFirst) {
            applySoftwarePreset();
            QTest::mouseClick(child<QPushButton>(u"btnApplyChanges"_s), Qt::LeftButton);
        }
        QCOMPARE(child<QLineEdit>(u"txtXMP_PhotoshopDateCreated"_s)->text(), shift);
        QCOMPARE(child<QLineEdit>(u"txtDate_Original"_s)->text(), shift);
        QCOMPARE(child<QLineEdit>(u"txtSoftware"_s)->text(), u"Studio Preset"_s);

        const QString output = m_dir.path() + u"/OutShift"_s + QString::number(presetFirst);
        qobject_cast<OutputOptionsPage*>(m_editor->extentionView())->model().setDestination(output, false);
        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QTRY_VERIFY(child<QWidget>(u"savePanel"_s) && child<QWidget>(u"savePanel"_s)->isVisible());
        QTest::mouseClick(child<QPushButton>(u"btnSelectDestination"_s), Qt::LeftButton);
        QTRY_VERIFY(batch()->summaryWindow() && batch()->summaryWindow()->isVisible());
        QCOMPARE(batch()->runner().state().succeeded, 1);

        // The photo has no Photoshop date to shift; its original date moves on.
        const QString written = output + u"/photo-0.jpg"_s;
        QCOMPARE(exiftoolTag(written, u"XMP-photoshop:DateCreated"_s), QString());
        QCOMPARE(exiftoolTag(written, u"ExifIFD:DateTimeOriginal"_s), u"2008:05:30 16:57:02"_s);
        QCOMPARE(exiftoolTag(written, u"IFD0:Software"_s), u"Studio Preset"_s);
    }

    // What the last run wrote is no longer what the form shows once the ticks change:
    // Restore goes out. Rename files follows whether anything is ticked at all.
    // A question of the batch comes through the editor's one sheet: while it is up
    // the editor takes no drops and Next waits; its answer gives both back.
    void theBatchsAlertGivesTheEditorAndItsDropsBack()
    {
        addPhotos(1);
        auto* page = qobject_cast<OutputOptionsPage*>(m_editor->extentionView());
        page->btnOutputRenamingOptionTapped(true);
        page->btnEditingNameOptionTapped(OutputOptionsModel::Option::CustomName);
        auto* drops = m_editor->photoListPanel()->leftBox();
        auto* next = child<QAbstractButton>(u"btnNext"_s);
        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QCOMPARE(m_editor->alertSheet()->alertTag(), int(AlertFilenameBlank));
        QVERIFY(!drops->isDraggingEnabled());
        QVERIFY(!next->isEnabled());
        m_presenter->alerts.last().answer(0);
        QVERIFY(m_editor->isViewEnabled());
        QVERIFY(drops->isDraggingEnabled());
        QVERIFY(next->isEnabled());
    }

    void changingTheTicksTakesRestoreAwayAndRenamingNeedsATickedPhoto()
    {
        addPhotos(2);
        QTest::keyClicks(child<QLineEdit>(u"txtArtist"_s), u"Editor Artist"_s);
        qobject_cast<OutputOptionsPage*>(m_editor->extentionView())
            ->model()
            .setDestination(m_dir.path() + u"/OutTicks"_s, false);
        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QTRY_VERIFY(child<QWidget>(u"savePanel"_s) && child<QWidget>(u"savePanel"_s)->isVisible());
        QTest::mouseClick(child<QPushButton>(u"btnSelectDestination"_s), Qt::LeftButton);
        QTRY_VERIFY(batch()->summaryWindow() && batch()->summaryWindow()->isVisible());
        QTest::mouseClick(child<QPushButton>(u"btnCloseSummary"_s), Qt::LeftButton);
        auto* restore = child<QPushButton>(u"btnRestore"_s);
        auto* rename = child<QAbstractButton>(u"btnEditOriginalName"_s);
        QVERIFY(restore->isEnabled());
        QVERIFY(rename->isEnabled());

        model()->toggleCheckMark(0);
        QTRY_VERIFY(!restore->isEnabled());
        QVERIFY(rename->isEnabled());
        model()->toggleCheckMark(1);
        QTRY_VERIFY(!rename->isEnabled());
        model()->toggleCheckMark(0);
        QTRY_VERIFY(rename->isEnabled());
        QVERIFY(!restore->isEnabled());
    }

    // A HEIC keeps no IPTC data: with an IPTC field filled, Process asks before the
    // destination panel. Going back writes nothing; going on refuses the HEIC alone.
    void photosThatKeepNoIptcDataAreAskedAboutBeforeTheRun()
    {
        addPhotos(1);
        appendToEditor(*m_editor,
            { tickedCopy(samplesDir() + u"/heif/IMG_3578.heic"_s, m_dir.path() + u"/sources/phone.heic"_s) });
        QTest::keyClicks(child<QLineEdit>(u"txtIPTC_Headline"_s), u"Harbour"_s);
        const QString output = m_dir.path() + u"/OutIptc"_s;
        qobject_cast<OutputOptionsPage*>(m_editor->extentionView())->model().setDestination(output, false);

        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.last().request.informativeText,
            u"1 of the 2 ticked photos (HEIC) keeps no IPTC data, so the IPTC fields cannot be written into it: it "
            u"will not be changed. Do you wish to proceed with the other photo?"_s);
        QVERIFY(!child<QWidget>(u"savePanel"_s));
        m_presenter->alerts.last().answer(-1); // closed as Escape closes it
        QTest::qWait(BatchController::kAfterPanelDelayMs);
        QVERIFY(!child<QWidget>(u"savePanel"_s));
        QVERIFY(!m_editor->isBatchRunning());
        QVERIFY(!QFileInfo::exists(output));

        QTest::mouseClick(child<QPushButton>(u"btnProcess"_s), Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 2);
        m_presenter->alerts.last().answer(0);
        QTRY_VERIFY(child<QWidget>(u"savePanel"_s) && child<QWidget>(u"savePanel"_s)->isVisible());
        QTest::mouseClick(child<QPushButton>(u"btnSelectDestination"_s), Qt::LeftButton);
        QTRY_VERIFY(batch()->summaryWindow() && batch()->summaryWindow()->isVisible());
        QCOMPARE(batch()->runner().state().succeeded, 1);
        QCOMPARE(batch()->runner().state().failed, 1);
        QVERIFY(!QFileInfo::exists(output + u"/phone.heic"_s));
    }
};

QTEST_MAIN(ExifEditorBatchTest)
#include "ExifEditorBatchTest.moc"
