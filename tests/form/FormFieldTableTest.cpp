#include "form/FormFieldTable.h"

#include "services/FieldTagTable.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

const FormFieldTable& table()
{
    return FormFieldTable::sharedTable();
}

} // namespace

TEST(FormFieldTable, holdsEveryRecordFieldOnceInDeclarationOrderWithUniqueControlNames)
{
    ASSERT_EQ(table().fields().size(), 80);
    QSet<QString> names;
    for (qsizetype i = 0; i < table().fields().size(); ++i) {
        const FormField& f = table().fields()[i];
        EXPECT_EQ(fieldIndex(f.field), static_cast<std::size_t>(i));
        EXPECT_FALSE(names.contains(f.objectName)) << f.objectName.toStdString();
        names.insert(f.objectName);
        EXPECT_FALSE(f.label.isEmpty());
    }
    EXPECT_EQ(table().field(MetadataField::Artist).objectName, "txtArtist");
    EXPECT_EQ(table().field(MetadataField::GPS_Lattitude).objectName, "txtGPS_Lattitude");
    EXPECT_EQ(table().field(MetadataField::UserComment).objectName, "txtvwUserCmt");
    EXPECT_EQ(table().field(MetadataField::IPTC_Keywords).objectName, "txtvwIPTC_Keywords");
    EXPECT_EQ(table().field(MetadataField::XMP_Keyword).objectName, "txtvwXMP_Keywords");
}

TEST(FormFieldTable, mergesAllButThePixelSizesResolutionsAndGpsDateStamp)
{
    QStringList notMerged;
    for (const FormField& f : table().fields()) {
        if (!f.merged) {
            notMerged << f.name;
            EXPECT_FALSE(f.editable);
            EXPECT_EQ(f.placeholder, PlaceholderRule::None);
        }
    }
    EXPECT_EQ(notMerged,
        QStringList({ "DimResolution_ExifImageWidth", "DimResolution_ExifImageHeight", "DimResolution_XResolution",
            "DimResolution_YResolution", "DimResolution_ResolutionUnit", "GPS_DateStamp" }));
    EXPECT_FALSE(table().field(MetadataField::AdvCamSetting_ComponentsConfiguration).editable);
    EXPECT_TRUE(table().field(MetadataField::GPS_ImgDirection).editable);
}

TEST(FormFieldTable, takesEditsExactlyInTheMergedFieldsThatAWritePutsIntoThePhoto)
{
    QStringList notWritten;
    for (const FormField& f : table().fields()) {
        const bool written = fieldTagInfo(f.field).isWritten();
        EXPECT_EQ(f.written, written) << f.name.toStdString();
        EXPECT_EQ(f.editable, written && f.merged) << f.name.toStdString();
        if (!written)
            notWritten << f.name;
    }
    EXPECT_EQ(notWritten,
        QStringList({ "CamSetting_Aperture", "CamSetting_ShutterSpeed", "CamSetting_ExposureCompensation",
            "AdvCamSetting_ColorSpace", "AdvCamSetting_ComponentsConfiguration", "Lens_Lens",
            "DimResolution_ExifImageWidth", "DimResolution_ExifImageHeight", "DimResolution_XResolution",
            "DimResolution_YResolution", "DimResolution_ResolutionUnit", "XMP_Keyword", "XMP_Latitude",
            "XMP_Longitude" }));
    // What the photos hold of a field that is read but not written is still shown.
    for (MetadataField shown : { MetadataField::XMP_Keyword, MetadataField::XMP_Latitude })
        EXPECT_TRUE(table().field(shown).merged);
}

TEST(FormFieldTable, givesTheFifteenCodedFieldsTheirDropDownTagsInOrder)
{
    const std::array expected = { MetadataField::CamSetting_Flash, MetadataField::CamSetting_Orientation,
        MetadataField::AdvCamSetting_ColorSpace, MetadataField::AdvCamSetting_ExposureMode,
        MetadataField::AdvCamSetting_ExposureProgram, MetadataField::AdvCamSetting_MateringMode,
        MetadataField::AdvCamSetting_SceneCaptureType, MetadataField::AdvCamSetting_SensingMethod,
        MetadataField::AdvCamSetting_SubjectDistanceRange, MetadataField::DimResolution_ResolutionUnit,
        MetadataField::GPS_LattitudeRef, MetadataField::GPS_LongitudeRef, MetadataField::GPS_AltitudeRef,
        MetadataField::GPS_ImgDirectionRef, MetadataField::IPTC_CountryPrimaryLocationCode };
    for (int tag = 0; tag < 15; ++tag) {
        const FormField* f = table().fieldForDropDownTag(tag);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->field, expected[tag]) << tag;
        EXPECT_EQ(f->kind, FieldKind::DropDown);
        EXPECT_EQ(f->shownAs, DisplayForm::Label);
    }
    EXPECT_EQ(table().fieldForDropDownTag(15), nullptr);
    EXPECT_EQ(table().fieldForDropDownTag(-1), nullptr);
}

TEST(FormFieldTable, derivesKindsPlaceholdersAndErrorLabels)
{
    EXPECT_EQ(table().field(MetadataField::Artist).kind, FieldKind::Line);
    EXPECT_EQ(table().field(MetadataField::CamSetting_ISO).kind, FieldKind::Integer);
    EXPECT_EQ(table().field(MetadataField::CamSetting_FNumber).kind, FieldKind::Decimal);
    EXPECT_EQ(table().field(MetadataField::XMP_Latitude).kind, FieldKind::Decimal);
    EXPECT_EQ(table().field(MetadataField::Date_Original).kind, FieldKind::Date);
    EXPECT_EQ(table().field(MetadataField::XMP_PhotoshopDateCreated).kind, FieldKind::Date);
    EXPECT_EQ(table().field(MetadataField::IPTC_DateCreated).shownAs, DisplayForm::IptcDate);
    EXPECT_EQ(table().field(MetadataField::AdvCamSetting_ComponentsConfiguration).kind, FieldKind::CheckBox);

    EXPECT_EQ(table().field(MetadataField::UserComment).placeholder, PlaceholderRule::Label);
    EXPECT_EQ(table().field(MetadataField::UserComment).placeholderLabelName, "lblPlaceholder_TxtvwUserComment");
    EXPECT_EQ(table().field(MetadataField::XMP_Keyword).placeholder, PlaceholderRule::View);
    EXPECT_EQ(table().field(MetadataField::IPTC_Contact).placeholder, PlaceholderRule::Both);

    int withErrorLabel = 0;
    for (const FormField& f : table().fields()) {
        if (!f.errorLabelName.isEmpty()) {
            ++withErrorLabel;
            EXPECT_EQ(f.errorLabelName, f.objectName + "_error");
            EXPECT_TRUE(f.numberClass != NumberClass::None || f.field == MetadataField::IPTC_DateCreated);
        }
    }
    EXPECT_EQ(withErrorLabel, 19);
}

TEST(FormFieldTable, placesEveryFieldOnOneOfTheSixFieldTabsWithReadableLabels)
{
    int total = 0;
    for (const FormTabInfo& tab : FormFieldTable::tabs()) {
        const auto fields = table().fieldsOnTab(tab.tab);
        total += static_cast<int>(fields.size());
        if (tab.tab == FormTab::ClearOptions)
            EXPECT_TRUE(fields.isEmpty());
        else
            EXPECT_FALSE(fields.isEmpty()) << tab.objectName.toStdString();
    }
    EXPECT_EQ(total, 80);
    EXPECT_EQ(FormFieldTable::tabs().size(), kFormTabCount);
    EXPECT_EQ(table().field(MetadataField::XMP_CreationDate).tab, FormTab::DateTime);
    EXPECT_EQ(table().field(MetadataField::XMP_Lens).tab, FormTab::Xmp);

    EXPECT_EQ(table().field(MetadataField::GPS_Lattitude).label, "Latitude");
    EXPECT_EQ(table().field(MetadataField::GPS_ImgDirectionRef).label, "Image Direction Reference");
    EXPECT_EQ(table().field(MetadataField::AdvCamSetting_MateringMode).label, "Metering Mode");
    EXPECT_EQ(table().field(MetadataField::CamSetting_FocalLengthIn35mmFormat).label, "Focal Length In 35mm Format");
    EXPECT_EQ(table().field(MetadataField::Date_Original).label, "Original Date");
    EXPECT_EQ(table().field(MetadataField::CamSetting_ISO).label, "ISO");
    EXPECT_EQ(table().field(MetadataField::Cam_Make).label, "Camera Make");
    QSet<QString> labelsOnTheDateTab;
    for (const FormField* f : table().fieldsOnTab(FormTab::DateTime))
        labelsOnTheDateTab.insert(f->label);
    EXPECT_EQ(labelsOnTheDateTab.size(), 6) << "no two date fields read alike";
}

TEST(FormFieldTable, namesTheClearBoxesAndEditingModes)
{
    QStringList names;
    for (const ClearBox& box : FormFieldTable::clearBoxes())
        names << box.objectName;
    EXPECT_EQ(names,
        QStringList({ "checkClearExif", "checkClearIptc", "checkClearXmp", "checkClearGps", "checkClearComment" }));
    EXPECT_EQ(FormFieldTable::componentsConfigurationBoxes().size(), 7);
    EXPECT_EQ(FormFieldTable::editingOptionText(2), "Clean Metadata info");
    EXPECT_EQ(FormFieldTable::editingOptionText(0), "Only modify fields that I edit and keep others as it is");
    EXPECT_EQ(FormFieldTable::editingOptionText(3), "");
}

TEST(FormFieldTable, showsTheExifTheIptcOrTheCleanPanelByTheOptionIndex)
{
    EXPECT_EQ(FormFieldTable::tabForMetaDataOption(0), FormTab::General);
    EXPECT_EQ(FormFieldTable::tabForMetaDataOption(1), FormTab::IPTC);
    for (int other : { 2, 3, -1 })
        EXPECT_EQ(FormFieldTable::tabForMetaDataOption(other), FormTab::ClearOptions) << other;
}
