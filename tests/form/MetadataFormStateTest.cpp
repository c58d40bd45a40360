#include "form/MetadataFormState.h"

#include "FormFixtures.h"
#include "base/DatePattern.h"
#include "form/DatePanelModel.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

using F = MetadataField;

namespace {

// A form filled with the merge of these photos.
void fillWith(MetadataFormState& form, const QList<std::shared_ptr<PhotoFile>>& photos)
{
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos)));
}

QList<std::shared_ptr<PhotoFile>> twoPhotos(const char* artistA, const char* artistB)
{
    return { photoWith({ { F::Artist, artistA }, { F::Copyright, "(c) Ann" } }),
        photoWith({ { F::Artist, artistB }, { F::Copyright, "(c) Ann" } }) };
}

// A tab shown, as the form view switches the mode for it.
void showTab(MetadataFormState& form, FormTab tab)
{
    const int mode = MetadataFormState::editingOptionForTab(tab, form.metaDataObject()->editingOption);
    if (mode != form.metaDataObject()->editingOption)
        form.setEditingOption(mode);
}

DatePanelModel chosenDatePanel(QDate date)
{
    DatePanelModel panel;
    panel.option = DateTimeConfiguration::ChosenDate;
    panel.chosenDate = WallClock::make(date, QTime(10, 0, 0));
    return panel;
}

} // namespace

TEST(MetadataFormState, fillsTheFormFromTheMergeWithNothingChanged)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    EXPECT_EQ(form.totalPhotosSelected(), 2);
    EXPECT_EQ(form.metaDataObject()->Artist(), "");
    EXPECT_EQ(form.metaDataObject()->Copyright(), "(c) Ann");
    EXPECT_TRUE(form.placeholders().showsMultipleValues(F::Artist));
    EXPECT_FALSE(form.placeholders().showsMultipleValues(F::Copyright));
    EXPECT_FALSE(form.isParamsChanged());
    EXPECT_EQ(form.selectedMetatDataSettingObj()->Copyright(), "(c) Ann");
    EXPECT_EQ(form.metaDataObjectBeforeSaving()->Copyright(), "(c) Ann");
}

TEST(MetadataFormState, storesATypedTextInTheFormAndEditedRecordsAndMarksTheFormChanged)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    QSignalSpy changed(&form, &MetadataFormState::paramsChangedChanged);
    QSignalSpy edited(&form, &MetadataFormState::fieldEdited);
    form.editField(F::Artist, "Carla");
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.first().at(0).value<MetadataField>(), F::Artist);
    EXPECT_EQ(form.metaDataObject()->Artist(), "Carla");
    EXPECT_TRUE(form.metaDataObject()->isupdated_Artist());
    EXPECT_EQ(form.editedMetaDataObject()->Artist(), "Carla");
    EXPECT_TRUE(form.editedMetaDataObject()->isupdated_Artist());
    EXPECT_TRUE(form.isEditedMetadataObject());
    EXPECT_TRUE(form.isParamsChanged());
    EXPECT_TRUE(form.isMetaDataResetEnable());
    EXPECT_FALSE(form.placeholders().showsMultipleValues(F::Artist));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_TRUE(changed.first().at(0).toBool());
    EXPECT_EQ(form.selectedMetatDataSettingObj()->Artist(), "") << "the merged record stays as merged";
}

TEST(MetadataFormState, laysKeptEditsOverANewSelection)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.editField(F::Artist, "Carla");
    form.setEditingOption(MetaDataObject::ModifyEditedClearOthers);
    form.setClearFlag(ClearFlag::GpsInfo, true);

    fillWith(form, { photoWith({ { F::Artist, "Dan" }, { F::Software, "Tool" } }) });
    EXPECT_EQ(form.metaDataObject()->Artist(), "Carla");
    EXPECT_TRUE(form.metaDataObject()->isupdated_Artist());
    EXPECT_EQ(form.metaDataObject()->Software(), "Tool");
    EXPECT_EQ(form.metaDataObject()->editingOption, 1);
    EXPECT_TRUE(form.metaDataObject()->clearGpsInfo);
    EXPECT_TRUE(form.isParamsChanged());
    EXPECT_EQ(form.metaDataObjectBeforeSaving()->Artist(), "Dan") << "the snapshot never holds kept edits";

    // An empty selection keeps the edits in the form record but shows empty fields.
    fillWith(form, {});
    EXPECT_EQ(form.metaDataObject()->Artist(), "Carla");
    EXPECT_EQ(form.displayRecord().Artist(), "");
    EXPECT_FALSE(form.isParamsChanged());
}

TEST(MetadataFormState, tracksChangesAgainstTheMergedRecord)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Ann"));
    form.setEditingOption(MetaDataObject::ModifyEditedClearOthers);
    form.editField(F::Artist, "Ann"); // typed, the same as the photos: mode 1 must keep it
    form.editField(F::Copyright, "(c) Bob");
    form.editField(F::Software, "");
    form.createUpdatedChnagesOnly();
    const std::shared_ptr<MetaDataObject> changes = form.metaDataObjectWithUpdatedChange();
    EXPECT_EQ(changes->Copyright(), "(c) Bob");
    EXPECT_TRUE(changes->isupdated_Copyright());
    EXPECT_EQ(changes->Artist(), "Ann");
    EXPECT_TRUE(changes->isupdated_Artist());
    EXPECT_EQ(changes->Software(), "");
    EXPECT_TRUE(changes->isupdated_Software()) << "emptied on purpose";
    EXPECT_EQ(changes->ImageDescription(), "");
    EXPECT_FALSE(changes->isupdated_ImageDescription()) << "neither edited nor changed";
    EXPECT_EQ(changes->editingOption, MetaDataObject::ModifyEditedClearOthers);

    // A new fill starts an empty changes record.
    fillWith(form, twoPhotos("Ann", "Ann"));
    EXPECT_FALSE(form.metaDataObjectWithUpdatedChange()->isupdated_Copyright());
}

// The bench tool and the fuzzer build the writer's edited-fields-only record from
// a preset alone; the batch builds it from the form. Both must be the same record.
TEST(MetadataFormState, theChangesOfAPresetOnAFreshFormAreThoseOfThePresetAlone)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob")); // the photos share no artist and no software
    auto preset = std::make_shared<MetaDataObject>();
    preset->setArtist("Studio");
    preset->setUserComment("");
    preset->setIsupdated_UserComment(true);
    preset->setGPS_DateStamp("2020:01:01");
    preset->editingOption = MetaDataObject::ModifyEditedClearOthers;
    form.appendPreset(*preset);
    form.createUpdatedChnagesOnly();

    // What the bench tool runs: the preset as the settings record, every text edited.
    const auto settings = MetaDataObject::initWithObject(*preset);
    for (const auto& info : kMetadataFields)
        settings->setUpdated(info.field, preset->isUpdated(info.field) || !preset->field(info.field).isEmpty());
    const auto bench = MetaDataObject::editedFieldsOnlyCopy(*settings);

    const MetaDataObject& changes = *form.metaDataObjectWithUpdatedChange();
    for (const auto& info : kMetadataFields) {
        EXPECT_EQ(changes.field(info.field), bench->field(info.field)) << info.name;
        EXPECT_EQ(changes.isUpdated(info.field), bench->isUpdated(info.field)) << info.name;
    }
    EXPECT_EQ(changes.Artist(), "Studio");
    EXPECT_TRUE(changes.isupdated_UserComment());
    EXPECT_EQ(changes.GPS_DateStamp(), "2020:01:01") << "a text the settings write is never erased after";
    EXPECT_FALSE(changes.isupdated_Copyright()) << "shared by the photos, not edited";
    EXPECT_EQ(changes.editingOption, bench->editingOption);
}

// A preset replaces the date settings and fields it sets; the form's other date
// settings and edits stay in force, marked as edits, and each date field shows the
// setting that will be written.
TEST(MetadataFormState, aPresetReplacesOnlyTheDateSettingsAndEditsItSets)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Ann"));
    DatePanelModel shift;
    shift.option = DateTimeConfiguration::IncDecTime;
    form.updateDateTimeMetaDataConfiguration(DateSetting::PhotoshopCreationDate, shift);
    form.updateDateTimeMetaDataConfiguration(DateSetting::OriginalDate, shift);
    form.editField(F::Artist, "Bob");
    ASSERT_TRUE(form.apply().isValid());

    auto preset = std::make_shared<MetaDataObject>();
    preset->setSoftware("Studio");
    preset->setIsupdated_Software(true);
    preset->dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::EmptyValue;
    preset->dateTimeConfigModifyDate()->tagConfigureOption = DateTimeConfiguration::ChosenDate;
    preset->dateTimeConfigModifyDate()->stringSelectedDate = "2001:02:03 04:05:06";
    preset->setDate_Creation("Keep the date"); // an older wording of the setting
    preset->setIsupdated_Date_Creation(true);
    form.appendPreset(*preset);

    for (const auto& record : { form.metaDataObject(), form.editedMetaDataObject() }) {
        EXPECT_EQ(record->dateTimeConfigPhotoshopCreationDate()->option(), DateTimeConfiguration::IncDecTime);
        EXPECT_EQ(record->XMP_PhotoshopDateCreated(), "Shift time by +1 hour, +1 minute, +1 second");
        EXPECT_TRUE(record->isupdated_XMP_PhotoshopDateCreated());
        EXPECT_EQ(record->dateTimeConfigOriginalDate()->option(), DateTimeConfiguration::EmptyValue);
        EXPECT_EQ(record->Date_Original(), DateTimeConfiguration::kEmptyDateSummary);
        EXPECT_TRUE(record->isupdated_Date_Original());
        EXPECT_EQ(record->Date_Modify(), "2001:02:03 04:05:06");
        EXPECT_TRUE(record->isupdated_Date_Modify());
        EXPECT_EQ(record->Date_Creation(), DateTimeConfiguration::kKeepOriginalSummary);
        EXPECT_EQ(record->Software(), "Studio");
        EXPECT_EQ(record->Artist(), "Bob");
        EXPECT_TRUE(record->isupdated_Artist());
    }
    // The kept edit still counts as a change once the form was applied.
    EXPECT_EQ(form.metaDataObjectWithUpdatedChange()->Artist(), "Bob");
    EXPECT_NE(preset->dateTimeConfigOriginalDate(), form.metaDataObject()->dateTimeConfigOriginalDate());
}

TEST(MetadataFormState, writesTheDatePanelSummaryAndWarnsOfAFutureDate)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.updateDateTimeMetaDataConfiguration(DateSetting::CreationDate, chosenDatePanel(QDate(2999, 1, 1)));
    EXPECT_EQ(form.metaDataObject()->Date_Creation(), "2999:01:01 10:00:00");
    EXPECT_TRUE(form.metaDataObject()->isupdated_Date_Creation());
    EXPECT_EQ(form.editedMetaDataObject()->dateTimeConfigCreationDate()->option(), 2);
    EXPECT_TRUE(form.isParamsChanged());
    const auto warnings = form.dateWarnings();
    EXPECT_EQ(warnings[static_cast<int>(DateSetting::CreationDate)], DatePanelModel::kFutureDateWarning);
    EXPECT_EQ(warnings[static_cast<int>(DateSetting::OriginalDate)], "");

    // The date setting is a kept edit too.
    fillWith(form, twoPhotos("Ann", "Ann"));
    EXPECT_EQ(form.metaDataObject()->dateTimeConfigCreationDate()->option(), 2);
    EXPECT_EQ(form.metaDataObject()->Date_Creation(), "2999:01:01 10:00:00");
}

TEST(MetadataFormState, revertUndoesADateEditMadeInPlace)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Ann"));
    // A date control that changes the form record's setting directly.
    form.metaDataObject()->dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::EmptyValue;
    form.editField(F::Artist, "Bob");
    EXPECT_EQ(form.metaDataObjectBeforeSaving()->dateTimeConfigOriginalDate()->option(), 0);

    form.revert();
    EXPECT_EQ(form.metaDataObject()->dateTimeConfigOriginalDate()->option(), 0);
    EXPECT_EQ(form.metaDataObject()->Artist(), "Ann");
    EXPECT_FALSE(form.isParamsChanged());
    EXPECT_FALSE(form.isEditedMetadataObject());

    // Nor do the edits come back with the next selection.
    fillWith(form, twoPhotos("Ann", "Ann"));
    EXPECT_EQ(form.metaDataObject()->Artist(), "Ann");
}

TEST(MetadataFormState, leavesAnAppliedPresetUnchangedWhenTheFormIsEditedLater)
{
    auto preset = std::make_shared<MetaDataObject>();
    preset->name = "Studio";
    preset->setIPTC_Credit("Studio North");
    preset->setIsupdated_IPTC_Credit(true);
    preset->dateTimeConfigModifyDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;

    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    QSignalSpy replaced(&form, &MetadataFormState::recordsReplaced);
    form.appendPreset(*preset);
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(form.metaDataObject()->IPTC_Credit(), "Studio North");
    EXPECT_EQ(form.metaDataObject()->dateTimeConfigModifyDate()->option(), 5);
    EXPECT_TRUE(form.isParamsChanged());

    form.metaDataObject()->dateTimeConfigModifyDate()->tagConfigureOption = DateTimeConfiguration::EmptyValue;
    form.updateDateTimeMetaDataConfiguration(DateSetting::OriginalDate, chosenDatePanel(QDate(2001, 1, 1)));
    form.editField(F::IPTC_Credit, "Other");
    EXPECT_EQ(preset->dateTimeConfigModifyDate()->option(), 5);
    EXPECT_EQ(preset->dateTimeConfigOriginalDate()->option(), 0);
    EXPECT_EQ(preset->IPTC_Credit(), "Studio North");
    EXPECT_EQ(preset->name, "Studio");
    // The edited record follows the form: both see the same settings.
    EXPECT_EQ(
        form.editedMetaDataObject()->dateTimeConfigModifyDate(), form.metaDataObject()->dateTimeConfigModifyDate());
}

TEST(MetadataFormState, appliesOnlyAValidFormAndRevertsToThePhotosAfterwards)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Ann"));
    form.editField(F::CamSetting_ISO, "70000");
    FormValidationResult result = form.apply();
    EXPECT_FALSE(result.isValid());
    EXPECT_EQ(result.firstInvalidField(), F::CamSetting_ISO);
    EXPECT_TRUE(form.isParamsChanged()) << "nothing applied";
    EXPECT_EQ(form.selectedMetatDataSettingObj()->CamSetting_ISO(), "");

    form.editField(F::CamSetting_ISO, "400");
    form.editField(F::Artist, "Bob");
    result = form.apply();
    EXPECT_TRUE(result.isValid());
    EXPECT_FALSE(form.isParamsChanged());
    EXPECT_EQ(form.selectedMetatDataSettingObj()->Artist(), "Bob");
    EXPECT_EQ(form.selectedMetatDataSettingObjOnlyUpdatedFields()->Artist(), "Bob");
    EXPECT_TRUE(form.selectedMetatDataSettingObjOnlyUpdatedFields()->isupdated_CamSetting_ISO());

    form.revert();
    EXPECT_EQ(form.selectedMetatDataSettingObj()->Artist(), "Ann");
    EXPECT_EQ(form.metaDataObject()->Artist(), "Ann");
    EXPECT_EQ(form.metaDataObject()->CamSetting_ISO(), "");
}

TEST(MetadataFormState, aNegativeCoordinateIsSettledAsItWillBeWrittenWhenTheFormIsChecked)
{
    MetadataFormState form;
    fillWith(form,
        { photoWith({ { F::GPS_Lattitude, "48.5" }, { F::GPS_LattitudeRef, "N" } }),
            photoWith({ { F::GPS_Lattitude, "48.5" }, { F::GPS_LattitudeRef, "N" } }) });
    form.editField(F::GPS_Longitude, "-151.2093");
    form.editField(F::GPS_Lattitude, "-33.8688");
    // The photos' own North contradicts the sign: nothing is settled or applied.
    FormValidationResult result = form.apply();
    ASSERT_EQ(result.fieldErrors.size(), 1);
    EXPECT_EQ(result.fieldErrors[0].field, F::GPS_Lattitude);
    EXPECT_EQ(form.metaDataObject()->GPS_Lattitude(), "-33.8688");
    EXPECT_EQ(form.metaDataObject()->GPS_Longitude(), "151.2093") << "the longitude has no reference to contradict";
    EXPECT_EQ(form.metaDataObject()->GPS_LongitudeRef(), "W");

    form.editField(F::GPS_LattitudeRef, "Leave Blank");
    result = form.apply();
    EXPECT_TRUE(result.isValid());
    const MetaDataObject& changes = *form.selectedMetatDataSettingObjOnlyUpdatedFields();
    EXPECT_EQ(changes.GPS_Lattitude(), "33.8688");
    EXPECT_EQ(changes.GPS_LattitudeRef(), "S");
    EXPECT_EQ(changes.GPS_LongitudeRef(), "W");
    EXPECT_TRUE(changes.isupdated_GPS_LongitudeRef());
    EXPECT_EQ(form.editedMetaDataObject()->GPS_LattitudeRef(), "S") << "kept over the next selection";
}

TEST(MetadataFormState, resetDropsTheKeptEdits)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.editField(F::Artist, "Carla");
    form.setEditingOption(MetaDataObject::CleanMetadataInfo);
    form.reset();
    EXPECT_FALSE(form.isEditedMetadataObject());
    EXPECT_FALSE(form.isParamsChanged());
    fillWith(form, twoPhotos("Ann", "Bob"));
    EXPECT_EQ(form.metaDataObject()->Artist(), "");
    EXPECT_EQ(form.metaDataObject()->editingOption, 0);
    EXPECT_TRUE(form.placeholders().showsMultipleValues(F::Artist));
    EXPECT_FALSE(form.isParamsChanged());
}

TEST(MetadataFormState, theEndOfARunKeepsTheWrittenValuesWithoutOutlinesOrKeptEdits)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.editField(F::Artist, "Carla");
    QSignalSpy replaced(&form, &MetadataFormState::recordsReplaced);
    form.endOfRun();
    EXPECT_EQ(replaced.count(), 1) << "the form redraws its outlines";
    EXPECT_EQ(form.metaDataObject()->Artist(), "Carla");
    EXPECT_FALSE(form.metaDataObject()->isupdated_Artist());
    EXPECT_FALSE(form.isEditedMetadataObject());
    EXPECT_FALSE(form.isParamsChanged());
}

TEST(MetadataFormState, setsTheEditingModeInTheFormEditedAndMergedRecords)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.setEditingOption(MetaDataObject::CleanMetadataInfo);
    EXPECT_EQ(form.metaDataObject()->editingOption, 2);
    EXPECT_EQ(form.editedMetaDataObject()->editingOption, 2);
    EXPECT_EQ(form.selectedMetatDataSettingObj()->editingOption, 2);
    EXPECT_FALSE(form.isParamsChanged()) << "cleaning with no box ticked changes nothing";
    form.setEditingOption(7);
    EXPECT_EQ(form.metaDataObject()->editingOption, 2);
}

TEST(MetadataFormState, fillsFromTheNewestMergeAndCoversLargeSelectionsWithPleaseWait)
{
    MetadataFormState form;
    QSignalSpy replaced(&form, &MetadataFormState::recordsReplaced);
    QSignalSpy loading(&form, &MetadataFormState::loadingChanged);

    QList<std::shared_ptr<PhotoFile>> many;
    for (int i = 0; i < 5001; ++i)
        many << photoWith({ { F::Artist, "Many" } });
    form.setupUIForSelectedPhotoFiles(many);
    ASSERT_EQ(loading.count(), 1);
    EXPECT_TRUE(loading.first().at(0).toBool());
    EXPECT_EQ(loading.first().at(1).toString(), "Please Wait...");
    form.setupUIForSelectedPhotoFiles(twoPhotos("Ann", "Ann"));
    EXPECT_EQ(loading.count(), 2) << "a small selection that overtakes a large one takes the overlay away";
    EXPECT_FALSE(loading.last().at(0).toBool());

    ASSERT_TRUE(replaced.wait(5000));
    form.mergeJob().waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(replaced.count(), 1);
    EXPECT_EQ(form.metaDataObject()->Artist(), "Ann");
    EXPECT_EQ(form.totalPhotosSelected(), 2);
    EXPECT_EQ(loading.count(), 2);

    form.setupUIForSelectedPhotoFiles({});
    EXPECT_EQ(replaced.count(), 2) << "an empty selection fills at once";
    EXPECT_EQ(form.totalPhotosSelected(), 0);

    QList<std::shared_ptr<PhotoFile>> fewer = many.mid(0, 5000);
    form.setupUIForSelectedPhotoFiles(fewer);
    EXPECT_EQ(loading.count(), 2) << "5000 photos show no overlay";
    ASSERT_TRUE(replaced.wait(5000));
}

TEST(MetadataFormState, switchesToTheCleanModeOnlyOnTheCleanTab)
{
    EXPECT_EQ(MetadataFormState::editingOptionForTab(FormTab::ClearOptions, 0), 2);
    EXPECT_EQ(MetadataFormState::editingOptionForTab(FormTab::General, 2), 0);
    EXPECT_EQ(MetadataFormState::editingOptionForTab(FormTab::Gps, 1), 1);
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    showTab(form, FormTab::IPTC);
    EXPECT_FALSE(form.isParamsChanged()) << "looking at a tab is no edit";
    showTab(form, FormTab::ClearOptions);
    EXPECT_EQ(form.metaDataObject()->editingOption, 2);
}

TEST(MetadataFormState, outlinesExactlyTheEditedFields)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    form.editField(F::Artist, "Carla");
    int outlined = 0;
    for (const FormField& f : FormFieldTable::sharedTable().fields())
        outlined += FormDisplay::isHighlighted(f, *form.metaDataObject()) ? 1 : 0;
    EXPECT_EQ(outlined, 1);
    EXPECT_TRUE(FormDisplay::isHighlighted(FormFieldTable::sharedTable().field(F::Artist), *form.metaDataObject()));

    // The contact, the IPTC date and the image direction carry no outline, even when edited.
    for (F field : { F::IPTC_Contact, F::IPTC_DateCreated, F::GPS_ImgDirection, F::GPS_ImgDirectionRef }) {
        form.editField(field, "1");
        EXPECT_FALSE(FormDisplay::isHighlighted(FormFieldTable::sharedTable().field(field), *form.metaDataObject()));
    }
}

TEST(MetadataFormState, keepsTheMultipleValuesOfEveryFieldAPresetLeavesAlone)
{
    MetadataFormState form;
    fillWith(form,
        { photoWith({ { F::Artist, "Ann" }, { F::Software, "A" }, { F::Date_Creation, "2001:01:01 10:00:00" } }),
            photoWith({ { F::Artist, "Bob" }, { F::Software, "B" }, { F::Date_Creation, "2002:02:02 10:00:00" } }) });
    auto preset = std::make_shared<MetaDataObject>();
    preset->setArtist("Studio");
    form.appendPreset(*preset);
    EXPECT_FALSE(form.placeholders().showsMultipleValues(F::Artist)) << "the preset sets it";
    EXPECT_TRUE(form.placeholders().showsMultipleValues(F::Software));
    EXPECT_TRUE(form.placeholders().showsMultipleValues(F::Date_Creation));
}

TEST(MetadataFormState, aLookAtTheCleanTabIsNoChange)
{
    MetadataFormState form;
    fillWith(form, twoPhotos("Ann", "Bob"));
    showTab(form, FormTab::ClearOptions);
    EXPECT_EQ(form.metaDataObject()->editingOption, MetaDataObject::CleanMetadataInfo);
    showTab(form, FormTab::General);
    EXPECT_FALSE(form.isParamsChanged());
    // Nor does the look count after a change of selection.
    showTab(form, FormTab::ClearOptions);
    fillWith(form, twoPhotos("Ann", "Ann"));
    EXPECT_FALSE(form.isParamsChanged());
    EXPECT_EQ(form.metaDataObject()->editingOption, MetaDataObject::CleanMetadataInfo) << "the tab keeps its mode";

    // A ticked box, or a mode that erases, is a change.
    form.setClearFlag(ClearFlag::GpsInfo, true);
    EXPECT_TRUE(form.isParamsChanged());
    form.revert();
    form.setEditingOption(MetaDataObject::ModifyEditedClearOthers);
    EXPECT_TRUE(form.isParamsChanged());
}
