// The metadata form inside the real editor view: ticking photos in the list fills
// it, its edits reach the editor and Apply the application's records.
#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "controls/AttachedPopupTable.h"
#include "controls/MAAttachedWindow.h"
#include "form/FormFieldTable.h"
#include "form/FormFixtures.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetsPanel.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

using F = MetadataField;

namespace {

// The real editor, recording what it is asked of its buttons.
class Editor : public ExifEditorView {
public:
    using ExifEditorView::ExifEditorView;
    void disableEnableAllButtonsWhenDropdownOpen(bool disable) override
    {
        buttonsOff.append(disable);
        ExifEditorView::disableEnableAllButtonsWhenDropdownOpen(disable);
    }
    QList<bool> buttonsOff;
};

} // namespace

class ExifEditorFormTest : public QObject, public RecordedApplication {
    Q_OBJECT

    QTemporaryDir m_home;
    Editor* m_editor = nullptr;

    MetadataFormView* form() const { return m_editor->metadataFormView(); }
    PhotoListModel* model() const { return m_editor->photoListPanel()->model(); }
    template <typename T> T* child(const char* name) const
    {
        return m_editor->findChild<T*>(QString::fromLatin1(name));
    }

    // Photos as an adding leaves them: in the list, ticked, the editor set up.
    void addPhotos(const QList<std::shared_ptr<PhotoFile>>& photos)
    {
        int n = model()->count();
        for (const auto& photo : photos)
            photo->filePath = QStringLiteral("/nowhere/photo-%1.jpg").arg(n++);
        appendToEditor(*m_editor, photos);
    }

private slots:
    void initTestCase() { isolateUserFolders(m_home.path()); }

    void init()
    {
        startApplication();
        m_editor = showEditor<Editor>(*m_app, QSize(1050, 700));
        QVERIFY(QTest::qWaitForWindowExposed(m_editor));
    }

    void cleanup()
    {
        delete m_editor;
        m_editor = nullptr;
        m_app.reset();
    }

    void tickingPhotosFillsTheFormAndTheApplicationsMergedRecord()
    {
        QVERIFY(form());
        QCOMPARE(form(), m_editor->metaContainer());
        QCOMPARE(form()->objectName(), QStringLiteral("vwMetaContainer"));
        addPhotos({ photoWith({ { F::Artist, QStringLiteral("Анна") }, { F::Copyright, QStringLiteral("© 山田") } }),
            photoWith({ { F::Artist, QStringLiteral("Zoë") }, { F::Copyright, QStringLiteral("© 山田") } }),
            photoWith({ { F::Artist, QStringLiteral("Zoë") }, { F::Copyright, QStringLiteral("© 山田") } }) });
        QVERIFY(form()->isEnabled());
        QCOMPARE(child<QLineEdit>("txtArtist")->text(), QString());
        QCOMPARE(child<QLineEdit>("txtArtist")->placeholderText(), QStringLiteral("Multiple values"));
        QCOMPARE(child<QLineEdit>("txtCopyright")->text(), QStringLiteral("© 山田"));
        QCOMPARE(m_app->selectedMetatDataSettingObj->Copyright(), QStringLiteral("© 山田"));
        QVERIFY(!m_app->isProcessingWithFileSystem);

        // Unticking the odd photo out leaves two that agree.
        QSignalSpy filled(form(), &MetadataFormView::mergedRecordChanged);
        model()->toggleCheckMark(0);
        QTRY_VERIFY(filled.count() > 0);
        QCOMPARE(child<QLineEdit>("txtArtist")->text(), QStringLiteral("Zoë"));
        QCOMPARE(m_app->selectedMetatDataSettingObj->Artist(), QStringLiteral("Zoë"));
    }

    void typingChoosingAndTheDatePanelMarkTheEditorChanged()
    {
        addPhotos({ photoWith({ { F::Date_Original, QStringLiteral("2019:05:04 10:11:12") } }) });
        QVERIFY(!m_editor->isParamsChanged());
        QTest::keyClicks(child<QLineEdit>("txtArtist"), QStringLiteral("Nadia"));
        QVERIFY(m_editor->isParamsChanged());
        QVERIFY(child<QLineEdit>("txtArtist")->property("edited").toBool());

        // The editor's own buttons wait while a list of the form is open.
        QTest::mouseClick(child<QToolButton>("btnDropDownAdvCamSetting_ExposureMode"), Qt::LeftButton);
        QVERIFY(!child<QWidget>("btnAddPhoto")->isEnabled());
        QCOMPARE(m_editor->buttonsOff, QList<bool> { true });
        QListWidget* table = form()->dropDownPopup().table();
        const QListWidgetItem* bracket = table->findItems(QStringLiteral("Auto Bracket"), Qt::MatchExactly).first();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(bracket).center());
        QCOMPARE(form()->state().metaDataObject()->AdvCamSetting_ExposureMode(), QStringLiteral("2"));
        QTRY_VERIFY(child<QWidget>("btnAddPhoto")->isEnabled());
        QTRY_COMPARE(m_editor->buttonsOff, (QList<bool> { true, false }));

        form()->showTab(FormTab::Camera);
        QTest::keyClicks(child<QLineEdit>("txtCamSetting_ISO"), QStringLiteral("70000"));
        QVERIFY(!child<QLabel>("txtCamSetting_ISO_error")->isHidden());
        QCOMPARE(
            child<QLabel>("txtCamSetting_ISO_error")->text(), QStringLiteral("* Value cannot be greater than 65535"));
        QVERIFY(!form()->isValidFormData());

        form()->showTab(FormTab::DateTime);
        QTest::mouseClick(child<QToolButton>("btnDatePickerDate_Original"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form()->datePopup().attachedWindow()));
        auto* empty = form()->datePanel().findChild<QRadioButton*>(QStringLiteral("btnEmptyDate"));
        QTest::mouseClick(empty, Qt::LeftButton, {}, QPoint(6, empty->height() / 2));
        QCOMPARE(child<QLineEdit>("txtDate_Original")->text(), QStringLiteral("Empty date"));
    }

    void everyDatePanelLiesInsideTheWindowAtTheSmallestSize()
    {
        // The editor as the main window holds it at its smallest, below the title bar.
        m_editor->resize(1050, 670);
        addPhotos({ photoWith({ { F::Date_Original, QStringLiteral("2019:05:04 10:11:12") } }) });
        auto* scroll = child<QScrollArea>("scrollViewExifData");
        QVERIFY(scroll);
        int panels = 0;
        for (const FormTabInfo& tab : FormFieldTable::tabs()) {
            form()->showTab(tab.tab);
            settleEvents();
            for (auto* picker : form()->findChildren<QToolButton*>()) {
                if (!picker->objectName().startsWith(QLatin1String("btnDatePicker")) || !picker->isVisible()
                    || !picker->isEnabled())
                    continue;
                // The field at the lowest place the form scrolls it to, and at the top.
                for (const bool atBottom : { true, false }) {
                    scroll->ensureWidgetVisible(picker, 0, 0);
                    if (!atBottom)
                        scroll->verticalScrollBar()->setValue(picker->mapTo(scroll->widget(), QPoint()).y());
                    settleEvents();
                    QTest::mouseClick(picker, Qt::LeftButton);
                    MAAttachedWindow* bubble = form()->datePopup().attachedWindow();
                    QVERIFY2(bubble, qPrintable(picker->objectName()));
                    // "Shift the time" shows every part of the panel.
                    auto* shift = form()->datePanel().findChild<QRadioButton*>(QStringLiteral("btnIncDecTime"));
                    QTest::mouseClick(shift, Qt::LeftButton, {}, QPoint(6, shift->height() / 2));
                    settleEvents();
                    const QRect window = m_editor->rect();
                    for (QWidget* part : form()->datePanel().findChildren<QWidget*>()) {
                        if (!part->isVisible())
                            continue;
                        const QRect placed(part->mapTo(m_editor, QPoint()), part->size());
                        QVERIFY2(window.contains(placed),
                            qPrintable(picker->objectName() + QLatin1Char(' ') + part->objectName()));
                    }
                    QVERIFY(window.contains(QRect(bubble->mapTo(m_editor, QPoint()), bubble->size())));
                    QSignalSpy released(&form()->datePopup(), &AttachedPopupTable::buttonsReleased);
                    form()->datePopup().dismissPanel();
                    QVERIFY(released.wait());
                    ++panels;
                }
            }
        }
        QCOMPARE(panels, 2 * int(kDateSettingCount));
    }

    void processWithAnInvalidFormGivesTheErrorsAlertAndShowsTheErrorLine()
    {
        addPhotos({ photoWith({}) });
        form()->showTab(FormTab::Gps);
        QTest::keyClicks(child<QLineEdit>("txtGPS_ImgDirection"), QStringLiteral("400"));
        form()->showTab(FormTab::General);
        child<QLabel>("txtGPS_ImgDirection_error")->hide();
        QTest::mouseClick(child<QPushButton>("btnProcess"), Qt::LeftButton);
        QCOMPARE(m_presenter->alerts.size(), 1);
        QCOMPARE(m_presenter->alerts.first().request.title, QStringLiteral("ERRORS FOUND"));
        QCOMPARE(form()->currentTab(), FormTab::Gps);
        QVERIFY(!child<QLabel>("txtGPS_ImgDirection_error")->isHidden());
        QCOMPARE(child<QLabel>("txtGPS_ImgDirection_error")->text(), QStringLiteral("* Value must be less than 360"));
    }

    void applyStoresTheFormsRecordsOnTheApplication()
    {
        addPhotos({ photoWith({ { F::Artist, QStringLiteral("Ann") } }), photoWith({}) });
        QTest::keyClicks(child<QLineEdit>("txtCopyright"), QStringLiteral("(c) Ann"));
        QTest::mouseClick(child<QPushButton>("btnApplyChanges"), Qt::LeftButton);
        QCOMPARE(m_app->selectedMetatDataSettingObj->Copyright(), QStringLiteral("(c) Ann"));
        QCOMPARE(m_app->selectedMetatDataSettingObjOnlyUpdatedFields->Copyright(), QStringLiteral("(c) Ann"));
        QVERIFY(m_app->selectedMetatDataSettingObjOnlyUpdatedFields->isupdated_Copyright());
        QVERIFY(!m_app->selectedMetatDataSettingObjOnlyUpdatedFields->isupdated_Artist());
        QVERIFY(!m_editor->isParamsChanged());

        // The batch list emptied: the kept edits go.
        emit m_editor->photoListPanel()->batchListEmptied();
        QVERIFY(!form()->state().isEditedMetadataObject());
    }

    // With no photo ticked the form takes no edit: the more-options button, whose Clean
    // Metadata would switch the mode, is off with the editing mode.
    void theMoreOptionsButtonFollowsTheEditingMode()
    {
        addPhotos({ photoWith({}), photoWith({}) });
        auto* mode = child<QWidget>("vwEditingOptions");
        auto* more = child<QAbstractButton>("btnMetadataMoreOptions");
        QVERIFY(mode->isEnabled() && more->isEnabled());
        model()->toggleCheckMark(0);
        model()->toggleCheckMark(1);
        QTRY_VERIFY(!form()->state().acceptsEdits());
        QVERIFY(!mode->isEnabled());
        QVERIFY(!more->isEnabled());
    }

    // The Presets button names a preset while the form holds it: a run's end empties the
    // form of its edits, and the button says "Presets" again.
    void thePresetsButtonNamesThePresetTheFormHolds()
    {
        auto preset = std::make_shared<MetaDataObject>();
        preset->name = QStringLiteral("Studio");
        preset->setField(F::Artist, QStringLiteral("Studio Artist"));
        preset->setUpdated(F::Artist, true);
        m_app->arrayPresets.append(preset);
        m_editor->presetsPanel()->model().reload();
        addPhotos({ photoWith({}), photoWith({}) });
        auto* presets = child<QPushButton>("btnPresets");
        QCOMPARE(presets->text(), QStringLiteral("Presets"));
        m_editor->presetsPanel()->changeViewAccordingToPresetSelected(0);
        QCOMPARE(child<QLineEdit>("txtArtist")->text(), QStringLiteral("Studio Artist"));
        QCOMPARE(presets->text(), QStringLiteral("Studio"));

        emit m_editor->batchController()->runCompleted(false);
        QTRY_VERIFY(!form()->state().mergeJob().isRunning());
        QCOMPARE(child<QLineEdit>("txtArtist")->text(), QString());
        QCOMPARE(presets->text(), QStringLiteral("Presets"));
    }

    void fiveThousandAndOneTickedPhotosBusyTheEditorUntilTheFill()
    {
        QList<std::shared_ptr<PhotoFile>> photos;
        for (int i = 0; i < 5001; ++i)
            photos.append(photoWith({ { F::Artist, QStringLiteral("Ann") } }));
        QSignalSpy loading(&form()->state(), &MetadataFormState::loadingChanged);
        addPhotos(photos);
        QTRY_VERIFY(!m_editor->isLoadingShown());
        QVERIFY(loading.count() >= 2);
        QCOMPARE(loading.first().at(0).toBool(), true);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QCOMPARE(child<QLineEdit>("txtArtist")->text(), QStringLiteral("Ann"));
    }
};

QTEST_MAIN(ExifEditorFormTest)
#include "ExifEditorFormTest.moc"
