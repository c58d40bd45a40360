#include "form/MetadataFormState.h"
#include "form/SelectionMerge.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "model/ProjectSession.h"
#include "presets/PresetChoice.h"
#include "presets/PresetEditor.h"
#include "presets/PresetListModel.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using F = MetadataField;

namespace {

std::shared_ptr<PhotoFile> photo(const QString& artist)
{
    auto file = std::make_shared<PhotoFile>();
    auto record = std::make_shared<MetaDataObject>();
    record->setArtist(artist);
    record->setCopyright(u"(c) photos"_s);
    record->setIPTC_City(u"Lyon"_s);
    file->metadataObject = record;
    return file;
}

} // namespace

// The path of a preset from the preset window to the editor's form: made and edited
// here, chosen in the drop-down and laid over the form the user already edited.
TEST(PresetApply, aPresetLaidOverAnEditedFormFollowsEveryOverlayRuleAndStaysItsOwn)
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    PresetListModel model(presets);
    PresetChoice window(model);
    PresetEditor editor(model, window);
    window.choose(model.addPreset());
    editor.editField(F::Copyright, u"© Studio Nord"_s); // filled
    editor.editField(F::IPTC_City, u""_s); // emptied on purpose: clears the form's city
    editor.editField(F::DimResolution_ExifImageWidth, u"10"_s); // never laid over
    editor.setEditingOption(MetaDataObject::ModifyEditedClearOthers);
    editor.setClearFlag(ClearFlag::Comment, true);
    auto shift = std::make_shared<DateTimeConfiguration>();
    shift->tagConfigureOption = DateTimeConfiguration::IncDecDate;
    shift->stringIncDecDay = u"3"_s;
    editor.setDateTimeConfiguration(DateSetting::OriginalDate, shift, u"+3 days"_s);
    const auto preset = window.preset();

    MetadataFormState form;
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(
        SelectionMerge::recordsOf({ photo(u"Ann"_s), photo(u"Ann"_s) })));
    form.editField(F::Artist, u"Bob"_s); // the user's own edit, which the preset does not touch
    form.editField(F::ImageDescription, u"typed"_s);
    PresetChoice dropDown(model);
    dropDown.chooseRow(0);
    form.appendPreset(*dropDown.preset());

    const MetaDataObject& shown = *form.metaDataObject();
    EXPECT_EQ(shown.Copyright(), u"© Studio Nord"_s);
    EXPECT_EQ(shown.IPTC_City(), u""_s);
    EXPECT_EQ(shown.Artist(), u"Bob"_s); // neither filled nor edited in the preset: kept
    EXPECT_EQ(shown.ImageDescription(), u"typed"_s);
    EXPECT_NE(shown.DimResolution_ExifImageWidth(), u"10"_s);
    // The date field shows the preset's setting in the form's own words.
    EXPECT_EQ(shown.Date_Original(), u"Shift date by +3 days, +1 month, +1 year"_s);
    EXPECT_TRUE(shown.isupdated_Date_Original());
    EXPECT_EQ(shown.editingOption, MetaDataObject::ModifyEditedClearOthers);
    EXPECT_TRUE(shown.clearComment);
    EXPECT_FALSE(shown.clearExif);
    EXPECT_EQ(*shown.dateTimeConfigOriginalDate(), *shift);
    EXPECT_EQ(shown.name, u""_s); // the form's record keeps its own name

    // From here on the two go separate ways, in both directions.
    form.editField(F::Copyright, u"changed in the form"_s);
    shown.dateTimeConfigOriginalDate()->stringIncDecDay = u"9"_s;
    EXPECT_EQ(preset->Copyright(), u"© Studio Nord"_s);
    EXPECT_EQ(preset->dateTimeConfigOriginalDate()->stringIncDecDay, u"3"_s);
    editor.editField(F::Software, u"edited in the preset window"_s);
    shift->stringIncDecMonth = u"7"_s;
    EXPECT_EQ(shown.Software(), u""_s);
    EXPECT_NE(shown.dateTimeConfigOriginalDate()->stringIncDecMonth, u"7"_s);
}

// The preset list is archived at quit and read at the next start; a field the preset
// empties must still clear the photos' tag afterwards.
TEST(PresetApply, aPresetReadBackAfterARestartStillClearsTheFieldItEmptied)
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    PresetListModel model(presets);
    PresetChoice window(model);
    PresetEditor editor(model, window);
    window.choose(model.addPreset());
    editor.editField(F::IPTC_City, u""_s);
    editor.editField(F::Copyright, u"© Studio Nord"_s);

    const ProjectSession::Unarchived read = ProjectSession::unarchive(ProjectSession::archivedData(presets));
    ASSERT_TRUE(read.complete);
    ASSERT_EQ(read.presets.size(), 1);

    MetadataFormState form;
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(
        SelectionMerge::recordsOf({ photo(u"Ann"_s), photo(u"Ann"_s) })));
    form.appendPreset(*read.presets.first());
    form.createUpdatedChnagesOnly();

    // The writer erases an edited field whose text is empty, in every mode.
    const MetaDataObject& shown = *form.metaDataObject();
    EXPECT_EQ(shown.IPTC_City(), u""_s);
    EXPECT_TRUE(shown.isupdated_IPTC_City());
    EXPECT_TRUE(form.metaDataObjectWithUpdatedChange()->isupdated_IPTC_City());
    EXPECT_EQ(shown.Copyright(), u"© Studio Nord"_s);
    EXPECT_TRUE(shown.isupdated_Copyright());
    EXPECT_FALSE(shown.isupdated_Artist());
}
