#include "services/ExifWriterEditing.h"
#include "services/FieldTagTable.h"
#include "form/FormFieldTable.h"
#include "platform/ImageProperties.h"
#include "platform/MetaDataObjectDictionary.h"
#include "viewer/MetaDataViewerModel.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

// Three tables name where a field lives in a file: the reader's and writer's field
// table (field to exiv2 key), the dictionary conversion (field to dictionary key)
// and the image-property layer (dictionary key to exiv2 key). They are kept apart
// because each serves its own path, so this test holds them to one answer.
TEST(TagTables, aFieldsDictionaryEntryLeadsToTheSameExiv2KeyAsItsTagRow)
{
    int compared = 0;
    for (const MetadataFieldInfo& info : kMetadataFields) {
        const auto entry = dictionaryEntryOfField(info.field);
        if (!entry)
            continue;
        SCOPED_TRACE(std::string(info.name));
        const QString viaDictionary = ImageProperties::exiv2KeyFor(entry->first, entry->second);
        const FieldTagInfo& row = fieldTagInfo(info.field);
        if (row.key == nullptr) {
            // A field the metadata writer leaves alone (the aperture, which follows the
            // F-number; the lens, which no tag holds) travels only in the dictionary.
            continue;
        }
        EXPECT_EQ(viaDictionary.toStdString(), row.key);
        // And back: the property layer names the same entry for that key.
        const QPair<QString, QString> back = ImageProperties::dictionaryKeyFor(viaDictionary);
        EXPECT_EQ(back.first, entry->first);
        EXPECT_EQ(back.second, entry->second);
        ++compared;
    }
    EXPECT_GT(compared, 60);
}

TEST(TagTables, everyExifOrIptcTagOfAFieldHasADictionaryEntry)
{
    for (const FieldTagInfo& row : fieldTagTable()) {
        const TagFamily family = tagFamily(row.key);
        if (family != TagFamily::Exif && family != TagFamily::Iptc)
            continue;
        SCOPED_TRACE(row.key);
        EXPECT_TRUE(dictionaryEntryOfField(row.field).has_value());
    }
}

// Every table that knows a field, held to the field list: a field added to the
// list and forgotten in one of them fails here, by name. The Exif clear list is
// derived from the tag rows, so it is checked for what it keeps out, not
// restated.
TEST(TagTables, everyFieldIsKnownToTheClearTheViewerAndTheDictionary)
{
    const FormFieldTable& form = FormFieldTable::sharedTable();
    std::set<MetadataField> shown;
    for (const auto& row : MetaDataViewerModel::kRows) {
        if (row.kind == MetaDataViewerModel::RowKind::Option) {
            const FormField* field = form.fieldForDropDownTag(row.tag);
            ASSERT_NE(field, nullptr) << row.title;
            shown.insert(field->field);
        } else {
            shown.insert(row.field);
        }
    }
    // What the viewer leaves out: values that describe the image itself (sizes,
    // resolutions, colour), the lens name beside "Xmp Lens", the direction of view
    // and the GPS date, the IPTC contact and date.
    const std::set<std::string_view> notShown = { "AdvCamSetting_ColorSpace", "AdvCamSetting_ComponentsConfiguration",
        "Lens_Lens", "DimResolution_ExifImageWidth", "DimResolution_ExifImageHeight", "DimResolution_XResolution",
        "DimResolution_YResolution", "DimResolution_ResolutionUnit", "GPS_ImgDirection", "GPS_ImgDirectionRef",
        "GPS_DateStamp", "IPTC_Contact", "IPTC_DateCreated" };
    const std::vector<std::string>& cleared = ExifWriterEditing::clearedExifKeys();
    for (const MetadataFieldInfo& info : kMetadataFields) {
        SCOPED_TRACE(std::string(info.name));
        EXPECT_NE(shown.count(info.field) != 0, notShown.count(info.name) != 0) << "shown or named as not shown";
        const FieldTagInfo& row = fieldTagInfo(info.field);
        if (row.key == nullptr)
            continue;
        const TagFamily family = tagFamily(row.key);
        if (family == TagFamily::Exif) {
            const bool camera
                = std::string_view(row.key) == "Exif.Image.Make" || std::string_view(row.key) == "Exif.Image.Model";
            const bool inClear = std::find(cleared.begin(), cleared.end(), row.key) != cleared.end();
            EXPECT_NE(inClear, camera) << row.key;
        }
        if (family == TagFamily::Exif || family == TagFamily::Iptc) {
            EXPECT_TRUE(dictionaryEntryOfField(info.field).has_value());
        }
    }
}
