#include "model/ProjectSession.h"

#include "model/KeyedCoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<MetaDataObject> preset(const QString& name)
{
    auto record = std::make_shared<MetaDataObject>();
    record->name = name;
    return record;
}

QJsonObject root(const QByteArray& data)
{
    return QJsonDocument::fromJson(data).object();
}

} // namespace

TEST(ProjectSession, archivesPresetsInOrderWithTheirFieldsAndDateSettings)
{
    auto summer = preset(QStringLiteral("Été à Zürich"));
    summer->setArtist(QStringLiteral("Jürgen Weiß"));
    summer->editingOption = MetaDataObject::ModifyEditedClearOthers;
    summer->dateTimeConfigOriginalDate()->tagConfigureOption = DateTimeConfiguration::IncDecTime;
    summer->dateTimeConfigOriginalDate()->stringIncDecHour = QStringLiteral("-2");
    auto tokyo = preset(QStringLiteral("東京 2024"));
    tokyo->setIPTC_City(QStringLiteral("東京"));

    const ProjectSession::Unarchived back = ProjectSession::unarchive(ProjectSession::archivedData({ summer, tokyo }));
    EXPECT_TRUE(back.complete);
    ASSERT_EQ(back.presets.size(), 2);
    EXPECT_EQ(back.presets[0]->name, summer->name);
    EXPECT_EQ(back.presets[0]->Artist(), summer->Artist());
    EXPECT_EQ(back.presets[0]->editingOption, MetaDataObject::ModifyEditedClearOthers);
    EXPECT_EQ(*back.presets[0]->dateTimeConfigOriginalDate(), *summer->dateTimeConfigOriginalDate());
    EXPECT_EQ(back.presets[1]->name, tokyo->name);
    EXPECT_EQ(back.presets[1]->IPTC_City(), tokyo->IPTC_City());
}

TEST(ProjectSession, writesItsTwoKeysUnderItsClassName)
{
    const QJsonObject archive = root(ProjectSession::archivedData({ preset("A") }));
    EXPECT_EQ(archive.value("$class").toString(), ProjectSession::kClassName);
    EXPECT_TRUE(archive.value("arrayPresets").isArray());
    EXPECT_FALSE(archive.contains("dateString")); // never set, so absent
}

TEST(ProjectSession, anEmptyListComesBackEmptyAndComplete)
{
    const QByteArray data = ProjectSession::archivedData({});
    EXPECT_TRUE(root(data).value("arrayPresets").toArray().isEmpty());
    const auto back = ProjectSession::unarchive(data);
    EXPECT_TRUE(back.complete);
    EXPECT_TRUE(back.presets.isEmpty());
}

TEST(ProjectSession, bytesThatAreNoSessionAreReportedIncomplete)
{
    for (const QByteArray& data : { QByteArray("bplist00\x01\x02", 10), QByteArray("{\"$class\":\"Other\"}"),
             QByteArray("{\"$class\":\"ProjectSession\",\"arrayPresets\":[") }) {
        const auto back = ProjectSession::unarchive(data);
        EXPECT_FALSE(back.complete) << data.constData();
        EXPECT_TRUE(back.presets.isEmpty());
    }
}

TEST(ProjectSession, aSessionWithoutAListIsCompleteAndEmpty)
{
    const auto back = ProjectSession::unarchive("{\"$class\":\"ProjectSession\",\"dateString\":\"x\"}");
    EXPECT_TRUE(back.complete);
    EXPECT_TRUE(back.presets.isEmpty());
}

TEST(ProjectSession, presetsThatCannotBeReadMakeTheArchiveIncompleteButKeepTheOthers)
{
    QJsonObject archive = root(ProjectSession::archivedData({ preset("kept") }));
    QJsonArray list = archive.value("arrayPresets").toArray();
    list.append(QJsonObject { { "$class", "SomethingElse" } });
    list.append(42);
    archive.insert("arrayPresets", list);
    const auto back = ProjectSession::unarchive(QJsonDocument(archive).toJson());
    EXPECT_FALSE(back.complete);
    ASSERT_EQ(back.presets.size(), 1);
    EXPECT_EQ(back.presets[0]->name, QStringLiteral("kept"));

    archive.insert("arrayPresets", QStringLiteral("not a list"));
    EXPECT_FALSE(ProjectSession::unarchive(QJsonDocument(archive).toJson()).complete);
}

namespace {

// What reading the archive whole gives: the reference for an archive that is read
// split at its list.
ProjectSession::Unarchived readWhole(const QByteArray& data)
{
    const auto decoder = KeyedDecoder::fromJson(data, ProjectSession::kClassName);
    if (!decoder)
        return { {}, false };
    ProjectSession::Unarchived read { ProjectSession::initWithCoder(*decoder).arrayPresets, true };
    if (decoder->contains("arrayPresets"))
        read.complete = decoder->arraySize("arrayPresets") == read.presets.size();
    return read;
}

QStringList namesOf(const QList<std::shared_ptr<MetaDataObject>>& presets)
{
    QStringList names;
    for (const auto& preset : presets)
        names.append(preset->name);
    return names;
}

} // namespace

TEST(ProjectSession, aListReadInPiecesGivesWhatTheWholeArchiveGives)
{
    // Names full of what ends a text or a value, an edited-field list nested in
    // each preset, and the archive indented.
    auto tricky = preset(QStringLiteral("a \"{quoted[\" name, ends in \\"));
    tricky->setArtist(QStringLiteral("\\\\\""));
    tricky->setUpdated(MetadataField::Artist, true);
    const QByteArray compact = ProjectSession::archivedData({ preset("first"), tricky, preset("last") });
    const QByteArray indented = QJsonDocument::fromJson(compact).toJson(QJsonDocument::Indented);
    ASSERT_NE(compact, indented);
    const QByteArray a = R"({"$class":"MetaDataObject","name":"A"})";
    const QByteArray b = R"({"$class":"MetaDataObject","name":"B"})";
    const QByteArray head = R"({"$class":"ProjectSession",)";
    const QList<QByteArray> archives {
        compact,
        indented,
        head + R"("arrayPresets":[)" + a + "," + b + R"(],"dateString":"x"})",
        head + R"("dateString":{"nested":["]"]},"arrayPresets":[ )" + a + " ,\n" + b + " ]}",
        // The key twice, or spelt with an escape.
        head + R"("arrayPresets":[)" + a + R"(],"arrayPresets":[)" + b + "]}",
        head + R"("array\u0050resets":[)" + a + "]}",
        // A damaged element, elements without a comma, a trailing comma, bytes
        // after the archive, an element of another class.
        head + R"("arrayPresets":[)" + a + R"(,{"$class":"MetaDataObject","name":tru},)" + b + "]}",
        head + R"("arrayPresets":[)" + a + " " + b + "]}",
        head + R"("arrayPresets":[)" + a + ",]}",
        head + R"("arrayPresets":[)" + a + "]} x",
        head + R"("arrayPresets":[)" + a + R"(,{"$class":"Other"}]})",
        head + R"("arrayPresets":[)" + a + R"(,{"$class":"MetaDataObject","name":"open \"}]})",
    };
    for (const QByteArray& data : archives) {
        SCOPED_TRACE(data.toStdString());
        const ProjectSession::Unarchived expected = readWhole(data);
        const ProjectSession::Unarchived read = ProjectSession::unarchive(data);
        EXPECT_EQ(read.complete, expected.complete);
        EXPECT_EQ(namesOf(read.presets), namesOf(expected.presets));
    }
    const ProjectSession::Unarchived back = ProjectSession::unarchive(indented);
    EXPECT_EQ(namesOf(back.presets), (QStringList { "first", tricky->name, "last" }));
    EXPECT_EQ(back.presets[1]->Artist(), tricky->Artist());
    EXPECT_TRUE(back.presets[1]->isUpdated(MetadataField::Artist));
}

TEST(ProjectSession, savingAgainKeepsTheArchivesSize)
{
    // Presets that hold a few values and leave every setting out, as an archive
    // collected over years does, next to presets that hold them all.
    QByteArray archive = R"({"$class":"ProjectSession","arrayPresets":[)";
    for (int i = 0; i < 1000; ++i)
        archive += QStringLiteral(R"(%1{"$class":"MetaDataObject","Artist":"Zoë %2","name":"Preset %2"})")
                       .arg(i ? "," : "")
                       .arg(i)
                       .toUtf8();
    archive += "]}";
    QList<std::shared_ptr<MetaDataObject>> full;
    for (int i = 0; i < 20; ++i)
        full.append(preset(QStringLiteral("Full %1").arg(i)));
    for (QByteArray data : { archive, ProjectSession::archivedData(full) }) {
        const qsizetype size = data.size();
        for (int save = 0; save < 10; ++save) {
            const ProjectSession::Unarchived read = ProjectSession::unarchive(data);
            ASSERT_TRUE(read.complete);
            data = ProjectSession::archivedData(read.presets);
            EXPECT_EQ(data.size(), size) << "save " << save;
        }
    }
}
