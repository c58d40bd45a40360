#include "Helper/FieldTagTable.h"
#include "platform/ImageProperties.h"
#include "platform/MetaDataObjectDictionary.h"

#include <gtest/gtest.h>

// Three tables name where a field lives in a file: the reader's and writer's field
// table (field to exiv2 key), the dictionary conversion (field to dictionary key)
// and the image-property layer (dictionary key to exiv2 key). They are kept apart
// because each serves its own road, so this test holds them to one answer.
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
