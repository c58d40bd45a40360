// The metadata form's wiring: its controls come from the field table, ticking fills
// them, typing and choosing reach the form core, and the error lines, pop-ups and
// date panel show what the core answers. The rules themselves are tested in the core.
#include "form/widgets/MetadataFormView.h"

#include "WidgetTestSupport.h"
#include "controls/AttachedPopupTable.h"
#include "form/DatePanelModel.h"
#include "form/FormFixtures.h"
#include "form/widgets/DatePanelView.h"
#include "model/FormRecordEditor.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>
#include <QtTest>

using F = MetadataField;

namespace {

QList<std::shared_ptr<PhotoFile>> twoPhotos()
{
    return { photoWith({ { F::Artist, QStringLiteral("Анна") }, { F::Copyright, QStringLiteral("© 山田") },
                 { F::CamSetting_Flash, QStringLiteral("16") }, { F::UserComment, QStringLiteral("one") } }),
        photoWith({ { F::Artist, QStringLiteral("Zoë") }, { F::Copyright, QStringLiteral("© 山田") },
            { F::CamSetting_Flash, QStringLiteral("16") }, { F::UserComment, QStringLiteral("two") } }) };
}

// Answers every alert with its first button and remembers it.
class AnsweringPresenter : public Presenter {
public:
    void presentSheet(QDialog*, std::function<void(int)>) override { }
    void presentAlert(QWidget*, const AlertRequest& request, std::function<void(int)> answered) override
    {
        asked.append(request.objectName);
        answered(0);
    }
    void presentOpenPanel(QWidget*, const OpenPanelRequest&, std::function<void(const QStringList&)>) override { }
    QStringList asked;
};

// An editor of one record, as the preset window's is, that keeps each edit it is handed.
class RecordEditor : public FormRecordEditor {
public:
    explicit RecordEditor(std::shared_ptr<MetaDataObject> record)
        : m_record(std::move(record))
    {
    }
    const MetaDataObject* record() const override { return m_record.get(); }
    bool editField(MetadataField field, const QString& text) override
    {
        fields.append(text);
        m_record->setField(field, text);
        emit fieldEdited(field);
        return true;
    }
    bool setEditingOption(int editingOption) override
    {
        m_record->editingOption = editingOption;
        return true;
    }
    bool setClearFlag(ClearFlag flag, bool on) override
    {
        m_record->setClearFlag(flag, on);
        return true;
    }
    bool setDateTimeConfiguration(
        DateSetting setting, std::shared_ptr<DateTimeConfiguration> configuration, const QString& summary) override
    {
        dates.append({ setting, summary });
        m_record->setDateTimeConfig(setting, std::move(configuration));
        m_record->setField(kDateSettings[static_cast<std::size_t>(setting)].field, summary);
        emit fieldEdited(kDateSettings[static_cast<std::size_t>(setting)].field);
        return true;
    }

    QStringList fields;
    QList<QPair<DateSetting, QString>> dates;

private:
    std::shared_ptr<MetaDataObject> m_record;
};

template <typename T> T* child(QWidget& form, const QString& name)
{
    T* widget = form.findChild<T*>(name);
    if (!widget)
        qWarning("no %s", qPrintable(name));
    return widget;
}

// A form on screen, filled with these photos.
void showFilled(MetadataFormView& form, const QList<std::shared_ptr<PhotoFile>>& photos)
{
    form.resize(620, 720);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy filled(&form, &MetadataFormView::mergedRecordChanged);
    form.setupUIForSelectedPhotoFiles(photos);
    QTRY_VERIFY(filled.count() > 0);
}

} // namespace

class MetadataFormViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase() { isolateUserFolders(m_home.path()); }

    void generatesOneNamedControlPerFieldOnSevenTabs()
    {
        MetadataFormView form;
        for (const FormField& field : FormFieldTable::sharedTable().fields()) {
            if (field.kind == FieldKind::CheckBox)
                continue;
            QWidget* control = form.findChild<QWidget*>(field.objectName);
            QVERIFY2(control, qPrintable(field.objectName));
            auto* line = qobject_cast<QLineEdit*>(control);
            auto* view = qobject_cast<QPlainTextEdit*>(control);
            if (field.kind == FieldKind::DropDown || field.kind == FieldKind::Date || !field.editable)
                QVERIFY2(line ? line->isReadOnly() : view && view->isReadOnly(), qPrintable(field.objectName));
        }
        for (const QString& name : FormFieldTable::componentsConfigurationBoxes())
            QVERIFY(form.findChild<QCheckBox*>(name));
        for (const ClearBox& box : FormFieldTable::clearBoxes())
            QVERIFY(form.findChild<QCheckBox*>(box.objectName));
        QCOMPARE(child<QTabBar>(form, "segmentMetaEdit")->count(), 7);
        for (const FormTabInfo& tab : FormFieldTable::tabs())
            QVERIFY(form.findChild<QWidget*>(tab.objectName));
        for (const char* name : { "txtArtist_error", "txtUserComment_error", "txtLens_LensSerialNumber_error",
                 "txtDimResolution_YResolution_error", "txtGPS_ImgDirection_error", "txtIPTC_Source_error",
                 "txtXMP_Longitude_error", "errorOrgDate", "errorPhotoshopDate", "lblPlaceholder_TxtvwUserComment",
                 "lblPlaceholder_TxtvwIpctKeywords", "txtvwXMP_Keywords", "btnApplyChanges", "btnRevertExifInfo",
                 "lblOnApply", "lblOnRevert", "txtMetatDataEditingOption", "scrollViewExifData", "vwMetaDataFields" })
            QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name)), name);
        QVERIFY(form.findChildren<QLabel*>(QRegularExpression(QStringLiteral("^txt.*_error$"))).size() >= 53);
        // Nothing is ticked: nothing to edit.
        QVERIFY(!child<QWidget>(form, "vwMetaDataFields")->isEnabled());
    }

    void tickedPhotosFillTheFormAndShowMultipleValuesWhereTheyDiffer()
    {
        MetadataFormView form;
        showFilled(form, twoPhotos());
        QCOMPARE(child<QLineEdit>(form, "txtCopyright")->text(), QStringLiteral("© 山田"));
        QCOMPARE(child<QLineEdit>(form, "txtArtist")->text(), QString());
        QCOMPARE(child<QLineEdit>(form, "txtArtist")->placeholderText(), QStringLiteral("Multiple values"));
        QCOMPARE(child<QLineEdit>(form, "txtImageDescription")->placeholderText(), QString());
        QCOMPARE(child<QLineEdit>(form, "txtCamSetting_Flash")->text(), QStringLiteral("Off, Did not fire"));
        QVERIFY(!child<QLabel>(form, "lblPlaceholder_TxtvwUserComment")->isHidden());
        QVERIFY(child<QWidget>(form, "vwMetaDataFields")->isEnabled());
        QVERIFY(!form.isParamsChanged());
        QVERIFY(!child<QPushButton>(form, "lblOnApply")->isHidden());
        QVERIFY(child<QPushButton>(form, "btnApplyChanges")->isHidden());

        // An emptied selection empties and disables the form.
        QSignalSpy filled(&form, &MetadataFormView::mergedRecordChanged);
        form.setupUIForSelectedPhotoFiles({});
        QTRY_VERIFY(filled.count() > 0);
        QCOMPARE(child<QLineEdit>(form, "txtCopyright")->text(), QString());
        QVERIFY(!child<QWidget>(form, "vwMetaDataFields")->isEnabled());
    }

    void typingMarksTheFieldEnablesResetAndOutlivesANewSelection()
    {
        MetadataFormView form;
        showFilled(form, twoPhotos());
        QSignalSpy changed(&form, &MetadataFormView::paramsChangedChanged);
        auto* artist = child<QLineEdit>(form, "txtArtist");
        artist->setFocus();
        typeThroughInputMethod(artist, QStringLiteral("Ñoño"));
        QCOMPARE(form.state().metaDataObject()->Artist(), QStringLiteral("Ñoño"));
        QVERIFY(form.state().editedMetaDataObject()->isupdated_Artist());
        QVERIFY(artist->property("edited").toBool());
        QCOMPARE(artist->placeholderText(), QString());
        QVERIFY(form.isMetaDataResetEnable());
        QCOMPARE(changed.count(), 1);
        QVERIFY(!child<QPushButton>(form, "btnApplyChanges")->isHidden());
        QVERIFY(child<QPushButton>(form, "lblOnApply")->isHidden());

        // The field keeps what is typed while the record stores it in its own form.
        QTest::keyClicks(child<QLineEdit>(form, "txtIPTC_DateCreated"), QStringLiteral("20190504"));
        QCOMPARE(child<QLineEdit>(form, "txtIPTC_DateCreated")->text(), QStringLiteral("20190504"));
        QCOMPARE(form.state().metaDataObject()->IPTC_DateCreated(), QStringLiteral("2019-05-04"));

        // A paste into a text view reaches the record, cut at the view's limit.
        auto* comment = child<QPlainTextEdit>(form, "txtvwUserCmt");
        comment->setFocus();
        QGuiApplication::clipboard()->setText(QString(10050, u'x'));
        comment->paste();
        QCOMPARE(form.state().metaDataObject()->UserComment().size(), 10000);
        QVERIFY(child<QLabel>(form, "lblPlaceholder_TxtvwUserComment")->isHidden());

        QSignalSpy filled(&form, &MetadataFormView::mergedRecordChanged);
        artist->clearFocus();
        form.setupUIForSelectedPhotoFiles({ photoWith({ { F::Artist, QStringLiteral("Bob") } }) });
        QTRY_VERIFY(filled.count() > 0);
        QCOMPARE(artist->text(), QStringLiteral("Ñoño"));
        QVERIFY(artist->property("edited").toBool());
        QVERIFY(form.isParamsChanged());

        form.resetMetadata();
        QVERIFY(!form.isMetaDataResetEnable());
    }

    void aFieldNoWriteReachesIsReadOnlySaysSoAndTakesNoEdit()
    {
        MetadataFormView form;
        showFilled(form, twoPhotos());
        for (const FormField& field : FormFieldTable::sharedTable().fields()) {
            if (field.written || field.kind == FieldKind::CheckBox)
                continue;
            auto* control = child<QWidget>(form, field.objectName);
            QVERIFY2(control, qPrintable(field.objectName));
            const auto* line = qobject_cast<QLineEdit*>(control);
            const auto* view = qobject_cast<QPlainTextEdit*>(control);
            QVERIFY2(line ? line->isReadOnly() : view && view->isReadOnly(), qPrintable(field.objectName));
            QVERIFY2(control->property("displayOnly").toBool(), qPrintable(field.objectName));
            QVERIFY2(control->toolTip().contains(QStringLiteral("does not write")), qPrintable(field.objectName));
        }
        for (const QString& name : FormFieldTable::componentsConfigurationBoxes()) {
            QVERIFY(!child<QCheckBox>(form, name)->isEnabled());
            QVERIFY(!child<QCheckBox>(form, name)->toolTip().isEmpty());
        }

        form.showTab(FormTab::Camera);
        QTest::keyClicks(child<QLineEdit>(form, "txtLens_Lens"), QStringLiteral("35mm"));
        QCOMPARE(child<QLineEdit>(form, "txtLens_Lens")->text(), QString());
        // A list that no write reads never opens, by its button, a click or a key.
        QVERIFY(!child<QToolButton>(form, "btnDropDownAdvCamSetting_ColorSpace")->isEnabled());
        QTest::mouseClick(child<QLineEdit>(form, "txtAdvCamSetting_ColorSpace"), Qt::LeftButton);
        QTest::keyClick(child<QLineEdit>(form, "txtDimResolution_ResolutionUnit"), Qt::Key_Space);
        QVERIFY(!form.dropDownPopup().isOpen());
        form.showTab(FormTab::Xmp);
        auto* keywords = child<QPlainTextEdit>(form, "txtvwXMP_Keywords");
        keywords->setFocus();
        QTest::keyClicks(keywords, QStringLiteral("snow"));
        QGuiApplication::clipboard()->setText(QStringLiteral("ice"));
        keywords->paste();
        QCOMPARE(keywords->toPlainText(), QString());
        QTest::keyClicks(child<QLineEdit>(form, "txtXMP_Latitude"), QStringLiteral("95"));
        QVERIFY(child<QLabel>(form, "txtXMP_Latitude_error")->isHidden());
        QVERIFY(!form.isParamsChanged());
        QVERIFY(form.isValidFormData());
    }

    void aDropDownChoiceStoresItsCodeAndTheListClosesOnAClickOutside()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({}) });
        auto* orientation = child<QToolButton>(form, "btnDropDownCamSetting_Orientation");
        QTest::mouseClick(child<QToolButton>(form, "btnDropDownCamSetting_Flash"), Qt::LeftButton);
        QVERIFY(form.dropDownPopup().isOpen());
        QListWidget* table = form.dropDownPopup().table();
        QCOMPARE(table->objectName(), QStringLiteral("tblPopupOptions"));
        QCOMPARE(table->count(), 28);
        QCOMPARE(table->visualItemRect(table->item(0)).height(), AttachedPopupTable::kRowHeight);
        QVERIFY(!orientation->isEnabled());

        clickRow(table, QStringLiteral("Off, Did not fire"));
        QVERIFY(!form.dropDownPopup().isOpen());
        QCOMPARE(form.state().metaDataObject()->CamSetting_Flash(), QStringLiteral("16"));
        QCOMPARE(child<QLineEdit>(form, "txtCamSetting_Flash")->text(), QStringLiteral("Off, Did not fire"));
        QVERIFY(form.isParamsChanged());
        QVERIFY(!orientation->isEnabled());
        QTRY_VERIFY(orientation->isEnabled());

        // The country list comes from the application's resources.
        QTest::mouseClick(child<QToolButton>(form, "btnDropDownIPTC_CountryPrimaryLocationCode"), Qt::LeftButton);
        QVERIFY(form.dropDownPopup().table()->count() > 200);
        clickRow(form.dropDownPopup().table(), QStringLiteral("Germany"));
        QCOMPARE(form.state().metaDataObject()->IPTC_CountryPrimaryLocationCode(), QStringLiteral("DEU"));

        // The keyboard opens a list too.
        QTRY_VERIFY(orientation->isEnabled());
        QTest::keyClick(child<QLineEdit>(form, "txtCamSetting_Orientation"), Qt::Key_Space);
        QVERIFY(form.dropDownPopup().isOpen());
        QCOMPARE(form.dropDownPopup().table()->count(), 9);
        form.dropDownPopup().dismissPanel();

        QTRY_VERIFY(orientation->isEnabled());
        QTest::mouseClick(orientation, Qt::LeftButton);
        QVERIFY(form.dropDownPopup().isOpen());
        QTest::mouseClick(child<QLineEdit>(form, "txtCopyright"), Qt::LeftButton);
        QVERIFY(!form.dropDownPopup().isOpen());
        QCOMPARE(form.state().metaDataObject()->CamSetting_Orientation(), QString());

        // A choice from the keyboard hands the keyboard back to the field that opened the list.
        form.showTab(FormTab::Gps);
        auto* reference = child<QLineEdit>(form, "txtGPS_LattitudeRef");
        QTRY_VERIFY(child<QToolButton>(form, "btnDropDownGPS_LattitudeRef")->isEnabled());
        reference->setFocus();
        QTest::keyClick(reference, Qt::Key_Space);
        QVERIFY(form.dropDownPopup().isOpen());
        QCOMPARE(form.focusWidget(), form.dropDownPopup().table());
        QTest::keyClick(form.dropDownPopup().table(), Qt::Key_Down);
        QTest::keyClick(form.dropDownPopup().table(), Qt::Key_Return);
        QVERIFY(!form.dropDownPopup().isOpen());
        QVERIFY(!reference->text().isEmpty());
        QCOMPARE(form.focusWidget(), reference);
    }

    // Arrows on the tab bar show the tab's page, a click on a tab takes the keyboard,
    // and Ctrl+Tab, Ctrl+Shift+Tab and Ctrl+PgUp/PgDn step through the tabs from inside the form.
    void theTabsChangeFromTheKeyboard()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({}) });
        auto* tabs = child<QTabBar>(form, "segmentMetaEdit");
        const auto shown = [&form](const char* name) { return child<QWidget>(form, name)->isVisible(); };
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(int(FormTab::Gps)).center());
        QCOMPARE(form.currentTab(), FormTab::Gps);
        QCOMPARE(form.focusWidget(), tabs);
        QTest::keyClick(tabs, Qt::Key_Right);
        QCOMPARE(form.currentTab(), FormTab::Camera);
        QVERIFY(shown("vwCameraTab"));
        QVERIFY(!shown("vwGpsTab"));
        QTest::keyClick(tabs, Qt::Key_Left);
        QTest::keyClick(tabs, Qt::Key_Left);
        QCOMPARE(form.currentTab(), FormTab::DateTime);
        QVERIFY(shown("vwDateTimeTab"));

        form.showTab(FormTab::General);
        auto* artist = child<QLineEdit>(form, "txtArtist");
        artist->setFocus();
        QTest::keyClick(artist, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(form.currentTab(), FormTab::DateTime);
        QVERIFY(shown("vwDateTimeTab"));
        QVERIFY(!shown("vwGeneralTab"));
        QTest::keyClick(form.focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(form.currentTab(), FormTab::Gps);
        QTest::keyClick(form.focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
        QTest::keyClick(form.focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(form.currentTab(), FormTab::General);
        QVERIFY(shown("vwGeneralTab"));
    }

    void theEditingModeListAndTheClearBoxesReachTheForm()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({}) });
        QTest::mouseClick(child<QToolButton>(form, "btnEditingOption"), Qt::LeftButton);
        QCOMPARE(form.dropDownPopup().table()->count(), 3);
        clickRow(form.dropDownPopup().table(), QStringLiteral("Clean Metadata info"));
        QCOMPARE(form.currentTab(), FormTab::ClearOptions);
        QCOMPARE(form.state().metaDataObject()->editingOption, int(MetaDataObject::CleanMetadataInfo));
        QTRY_VERIFY(child<QCheckBox>(form, "checkClearGps")->isEnabled());
        clickBox(child<QCheckBox>(form, "checkClearGps"));
        QVERIFY(form.state().metaDataObject()->clearGpsInfo);
        QVERIFY(form.state().editedMetaDataObject()->clearGpsInfo);

        // Leaving the clean tab leaves the clean mode.
        QTest::mouseClick(child<QTabBar>(form, "segmentMetaEdit"), Qt::LeftButton, {},
            child<QTabBar>(form, "segmentMetaEdit")->tabRect(int(FormTab::Gps)).center());
        QCOMPARE(form.currentTab(), FormTab::Gps);
        auto* mode = child<QLineEdit>(form, "txtMetatDataEditingOption");
        QCOMPARE(mode->text(), QStringLiteral("Only modify fields that I edit and keep others as it is"));
        // A box narrower than its text (a small screen, a large scale) shows the mode's start.
        QCOMPARE(mode->cursorPosition(), 0);
        form.changeViewAccordingToMetadataOtion(MetaDataObject::ModifyEditedClearOthers);
        QCOMPARE(mode->cursorPosition(), 0);
    }

    void anInvalidNumberShowsItsErrorLineAndBlocksApply()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({}) });
        QSignalSpy applied(&form, &MetadataFormView::applied);
        auto* latitude = child<QLineEdit>(form, "txtGPS_Lattitude");
        auto* error = child<QLabel>(form, "txtGPS_Lattitude_error");
        form.showTab(FormTab::Gps);
        QTest::keyClicks(latitude, QStringLiteral("95"));
        QVERIFY(!error->isHidden());
        QCOMPARE(error->text(), QStringLiteral("* Value cannot be greater than 90"));
        QVERIFY(latitude->property("invalid").toBool());
        QCOMPARE(form.state().metaDataObject()->GPS_Lattitude(), QStringLiteral("95"));

        // The number filter refuses letters; the whole-number filter takes 0 where Exif means "normal".
        QTest::keyClicks(child<QLineEdit>(form, "txtGPS_Altitude"), QStringLiteral("1a2"));
        QCOMPARE(child<QLineEdit>(form, "txtGPS_Altitude")->text(), QStringLiteral("12"));
        QTest::keyClicks(child<QLineEdit>(form, "txtAdvCamSetting_Sharpness"), QStringLiteral("0"));
        QCOMPARE(form.state().metaDataObject()->AdvCamSetting_Sharpness(), QStringLiteral("0"));

        form.showTab(FormTab::General);
        QTest::mouseClick(child<QPushButton>(form, "btnApplyChanges"), Qt::LeftButton);
        QCOMPARE(applied.count(), 0);
        QCOMPARE(form.currentTab(), FormTab::Gps);
        QVERIFY(!error->isHidden());

        latitude->clear();
        QTest::keyClicks(latitude, QStringLiteral("45.5"));
        QVERIFY(error->isHidden());
        QTest::mouseClick(child<QPushButton>(form, "btnApplyChanges"), Qt::LeftButton);
        QCOMPARE(applied.count(), 1);
        QCOMPARE(form.state().selectedMetatDataSettingObj()->GPS_Lattitude(), QStringLiteral("45.5"));
        QVERIFY(!child<QPushButton>(form, "lblOnApply")->isHidden());
    }

    void aSignAgainstTheHemisphereShowsItsErrorLineUntilTheHemisphereFits()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({ { F::GPS_Lattitude, "48.5" }, { F::GPS_LattitudeRef, "N" } }) });
        QSignalSpy applied(&form, &MetadataFormView::applied);
        auto* latitude = child<QLineEdit>(form, "txtGPS_Lattitude");
        auto* error = child<QLabel>(form, "txtGPS_Lattitude_error");
        form.showTab(FormTab::Gps);
        latitude->clear();
        QTest::keyClicks(latitude, QStringLiteral("-33.8688"));
        QVERIFY(!error->isHidden());
        QCOMPARE(
            error->text(), QStringLiteral("* A negative latitude cannot be North: remove the minus or choose South."));
        QVERIFY(latitude->property("invalid").toBool());
        QTest::mouseClick(child<QPushButton>(form, "btnApplyChanges"), Qt::LeftButton);
        QCOMPARE(applied.count(), 0);

        QTest::mouseClick(child<QToolButton>(form, "btnDropDownGPS_LattitudeRef"), Qt::LeftButton);
        clickRow(form.dropDownPopup().table(), QStringLiteral("South"));
        QVERIFY(error->isHidden());
        QVERIFY(!latitude->property("invalid").toBool());
        QTRY_VERIFY(child<QPushButton>(form, "btnApplyChanges")->isEnabled());
        QTest::mouseClick(child<QPushButton>(form, "btnApplyChanges"), Qt::LeftButton);
        QCOMPARE(applied.count(), 1);
        QCOMPARE(latitude->text(), QStringLiteral("33.8688"));
        QCOMPARE(child<QLineEdit>(form, "txtGPS_LattitudeRef")->text(), QStringLiteral("South"));
    }

    void theDatePanelWritesItsSummaryAndWarnsOfAFutureDate()
    {
        MetadataFormView form;
        showFilled(form, { photoWith({ { F::Date_Original, QStringLiteral("2019:05:04 10:11:12") } }) });
        form.showTab(FormTab::DateTime);
        auto* field = child<QLineEdit>(form, "txtDate_Original");
        QCOMPARE(field->text(), QStringLiteral("May 04,2019 10:11:12 AM"));
        // The form opens without its date panel: it is made when a date field first asks.
        QVERIFY(!form.findChild<DatePanelView*>());
        QTest::mouseClick(child<QToolButton>(form, "btnDatePickerDate_Original"), Qt::LeftButton);
        QVERIFY(form.datePopup().isOpen());
        QVERIFY(QTest::qWaitForWindowExposed(form.datePopup().attachedWindow()));
        DatePanelView& panel = form.datePanel();
        QVERIFY(panel.isVisible());

        clickBox(child<QRadioButton>(panel, "btnIncDecDate"));
        auto* days = child<QLineEdit>(panel, "txtIncDecDay");
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("-3"));
        clickBox(child<QCheckBox>(panel, "checkMonthIncDec"));
        clickBox(child<QCheckBox>(panel, "checkYearIncDec"));
        QCOMPARE(field->text(), QStringLiteral("Shift date by \u22123 days"));
        // Escape in the panel closes it and hands the keyboard back to its field.
        days->setFocus();
        QTest::keyClick(days, Qt::Key_Escape);
        QVERIFY(!form.datePopup().isOpen());
        QCOMPARE(form.focusWidget(), field);
        QTRY_VERIFY(child<QToolButton>(form, "btnDatePickerDate_Original")->isEnabled());
        QTest::mouseClick(child<QToolButton>(form, "btnDatePickerDate_Original"), Qt::LeftButton);
        QVERIFY(form.datePopup().isOpen());
        QCOMPARE(form.state().metaDataObject()->dateTimeConfigOriginalDate()->option(), 4);
        QVERIFY(field->property("edited").toBool());

        clickBox(child<QRadioButton>(panel, "btnSelectDate"));
        child<QDateTimeEdit>(panel, "datePicker")
            ->setDateTime(QDateTime(QDate::currentDate().addYears(2), QTime(9, 30, 0), Qt::UTC));
        QVERIFY(field->text().endsWith(QStringLiteral(" 09:30:00 AM")));
        QCOMPARE(child<QLabel>(form, "errorOrgDate")->text(), DatePanelModel::kFutureDateWarning);
        QVERIFY(!child<QLabel>(form, "errorOrgDate")->isHidden());

        // A click outside closes the panel; Revert undoes the date edit.
        QTest::mouseClick(child<QTabBar>(form, "segmentMetaEdit"), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!form.datePopup().isOpen());
        QTRY_VERIFY(child<QPushButton>(form, "btnRevertExifInfo")->isEnabled());
        AnsweringPresenter presenter;
        form.setPresenter(&presenter);
        QTest::mouseClick(child<QPushButton>(form, "btnRevertExifInfo"), Qt::LeftButton);
        QCOMPARE(presenter.asked, QStringList { QStringLiteral("alertRevert") });
        QCOMPARE(field->text(), QStringLiteral("May 04,2019 10:11:12 AM"));
        QVERIFY(child<QLabel>(form, "errorOrgDate")->isHidden());
        QVERIFY(!form.isParamsChanged());
    }

    void fromFiveThousandAndOnePhotosTheFormShowsPleaseWait()
    {
        MetadataFormView form;
        form.resize(400, 400);
        form.show();
        QList<std::shared_ptr<PhotoFile>> photos;
        for (int i = 0; i < 5001; ++i)
            photos.append(photoWith({ { F::Artist, QStringLiteral("Ann") } }));
        QSignalSpy filled(&form, &MetadataFormView::mergedRecordChanged);
        form.setupUIForSelectedPhotoFiles(photos);
        auto* overlay = child<QLabel>(form, "vwPleaseWait");
        QVERIFY(!overlay->isHidden());
        QCOMPARE(overlay->text(), QStringLiteral("Please Wait..."));
        QTRY_VERIFY(filled.count() > 0);
        QVERIFY(overlay->isHidden());
        QCOMPARE(child<QLineEdit>(form, "txtArtist")->text(), QStringLiteral("Ann"));

        photos.removeLast();
        form.setupUIForSelectedPhotoFiles(photos);
        QVERIFY(overlay->isHidden());
    }

    void aFormWithAnotherEditorShowsItsRecordAndHandsItEveryEdit()
    {
        auto preset = std::make_shared<MetaDataObject>();
        preset->setArtist(QStringLiteral("Предустановка"));
        preset->setCamSetting_Flash(QStringLiteral("1"));
        preset->editingOption = MetaDataObject::ModifyEditedClearOthers;
        RecordEditor editor(preset);
        MetadataFormView form;
        form.resize(620, 720);
        form.show();
        form.setEditor(&editor);
        QVERIFY(!form.editsSelection());
        QCOMPARE(child<QLineEdit>(form, "txtArtist")->text(), QStringLiteral("Предустановка"));
        QCOMPARE(child<QLineEdit>(form, "txtCamSetting_Flash")->text(), QStringLiteral("Fired"));
        QCOMPARE(child<QLineEdit>(form, "txtMetatDataEditingOption")->text(),
            QStringLiteral("Modify fields that I edit and clear others"));
        QVERIFY(child<QWidget>(form, "vwApplyRevert")->isHidden());
        QVERIFY(child<QWidget>(form, "vwMetaDataFields")->isEnabled());

        // Each keystroke goes to the editor after the typing rules; a typed IPTC date
        // is stored in IPTC's form while the field keeps what is typed.
        QTest::keyClicks(child<QLineEdit>(form, "txtCopyright"), QStringLiteral("(c)"));
        QCOMPARE(editor.fields.size(), 3);
        QCOMPARE(editor.fields.last(), QStringLiteral("(c)"));
        QTest::keyClicks(child<QLineEdit>(form, "txtIPTC_DateCreated"), QStringLiteral("20190504"));
        QCOMPARE(preset->IPTC_DateCreated(), QStringLiteral("2019-05-04"));
        QCOMPARE(child<QLineEdit>(form, "txtIPTC_DateCreated")->text(), QStringLiteral("20190504"));

        QTest::mouseClick(child<QToolButton>(form, "btnDropDownGPS_LattitudeRef"), Qt::LeftButton);
        clickRow(form.dropDownPopup().table(), QStringLiteral("South"));
        QCOMPARE(preset->GPS_LattitudeRef(), QStringLiteral("S"));
        QCOMPARE(child<QLineEdit>(form, "txtGPS_LattitudeRef")->text(), QStringLiteral("South"));

        QTRY_VERIFY(child<QToolButton>(form, "btnDatePickerXMP_ModifyDate")->isEnabled());
        QTest::mouseClick(child<QToolButton>(form, "btnDatePickerXMP_ModifyDate"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form.datePopup().attachedWindow()));
        clickBox(child<QRadioButton>(form.datePanel(), "btnEmptyDate"));
        QCOMPARE(editor.dates.size(), 1);
        QCOMPARE(editor.dates.first().first, DateSetting::XMPModifyDate);
        QCOMPARE(editor.dates.first().second, DatePanelModel::kEmptyDateSummary);
        form.datePopup().dismissPanel();

        // The clean mode brings its tab, as in the editor's form, so the clear boxes show.
        QTRY_VERIFY(child<QToolButton>(form, "btnEditingOption")->isEnabled());
        QTest::mouseClick(child<QToolButton>(form, "btnEditingOption"), Qt::LeftButton);
        clickRow(form.dropDownPopup().table(), QStringLiteral("Clean Metadata info"));
        QCOMPARE(form.currentTab(), FormTab::ClearOptions);
        QCOMPARE(preset->editingOption, int(MetaDataObject::CleanMetadataInfo));

        // The selection never reaches a form with another editor.
        form.setupUIForSelectedPhotoFiles(twoPhotos());
        QCOMPARE(child<QLineEdit>(form, "txtArtist")->text(), QStringLiteral("Предустановка"));
    }
};

QTEST_MAIN(MetadataFormViewTest)
#include "MetadataFormViewTest.moc"
