#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(UserDefaults, aFileThatIsNoIniFileIsKeptAsideBeforeAnythingIsWrittenOverIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Velloran.ini"_s);
    QByteArray damaged(4096, '\0');
    QRandomGenerator generator(35);
    generator.fillRange(reinterpret_cast<quint32*>(damaged.data()), damaged.size() / 4);
    writeBytes(path, damaged);
    {
        UserDefaults defaults(path);
        EXPECT_EQ(defaults.unreadableFileKept(), path + u".unreadable"_s);
        EXPECT_FALSE(defaults.contains(u"PROJECT_SESSION"_s));
        defaults.setString(u"value"_s, u"key"_s);
        // The write itself succeeds and says so.
        EXPECT_TRUE(defaults.synchronize());
    }
    EXPECT_EQ(bytesOf(path + u".unreadable"_s), damaged);
    EXPECT_EQ(UserDefaults(path).stringForKey(u"key"_s), u"value"_s);

    // A second damaged file never takes the place of the first one kept.
    writeBytes(path, "text that no settings file holds");
    EXPECT_EQ(UserDefaults(path).unreadableFileKept(), path + u".unreadable.2"_s);
    EXPECT_EQ(bytesOf(path + u".unreadable"_s), damaged);
    EXPECT_EQ(bytesOf(path + u".unreadable.2"_s), "text that no settings file holds");
}

TEST(UserDefaults, everyValueItWritesIsReadBackFromTheSameFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Velloran.ini"_s);
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte += char(i);
    const QString awkward = u"line\nnext\r\tend [x] a=b ; # \u00e9\u5199\u771f \\ \"q\" \x01"_s;
    {
        UserDefaults defaults(path);
        EXPECT_TRUE(defaults.unreadableFileKept().isEmpty());
        defaults.setData(everyByte, u"PROJECT_SESSION"_s);
        defaults.setString(awkward, u"key = with [brackets] and ; \u00e9"_s);
        defaults.setInteger(7, u"rateMeCounter"_s);
        ASSERT_TRUE(defaults.synchronize());
    }
    ASSERT_TRUE(UserDefaults::isIniText(bytesOf(path)));
    UserDefaults again(path);
    EXPECT_TRUE(again.unreadableFileKept().isEmpty());
    EXPECT_EQ(again.dataForKey(u"PROJECT_SESSION"_s), everyByte);
    EXPECT_EQ(again.stringForKey(u"key = with [brackets] and ; \u00e9"_s), awkward);
    EXPECT_EQ(again.integerForKey(u"rateMeCounter"_s), 7);
    EXPECT_FALSE(QFile::exists(path + u".unreadable"_s));

    // An empty file, a byte-order mark and comments are INI text too.
    EXPECT_TRUE(UserDefaults::isIniText(QByteArray()));
    EXPECT_TRUE(UserDefaults::isIniText("\xEF\xBB\xBF; note\r\n[General]\r\n\r\nkey=value\r\n"));
    EXPECT_FALSE(UserDefaults::isIniText("[General\nkey=value\n"));
    EXPECT_FALSE(UserDefaults::isIniText("[General]\nkey=caf\xe9\n"));
}

// Every setting goes to the one INI file under the keys that stored files use, and
// reads back typed: absent stays absent (a never-asked consent, no presets), and a
// blank address is no address.
TEST(UserDefaults, everySettingIsKeptInTheOneFileUnderItsStoredKey)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Velloran.ini"_s);
    {
        UserDefaults defaults(path);
        EXPECT_FALSE(defaults.presetArchive().has_value());
        EXPECT_FALSE(defaults.onlineConsent().has_value());
        EXPECT_FALSE(defaults.rateMeCounter().has_value());
        defaults.setPresetArchive("{}");
        // A second damaged archive never takes the place of the first one kept.
        EXPECT_EQ(defaults.keepUnreadablePresetArchive("damaged"), u"PROJECT_SESSION.unreadable"_s);
        EXPECT_EQ(defaults.keepUnreadablePresetArchive("damaged again"), u"PROJECT_SESSION.unreadable.2"_s);
        defaults.setRateMeCounter(3);
        defaults.setRatedVersion(u"1.2"_s);
        defaults.setNotShowRenameResetPopup(true);
        defaults.setOnlineConsent(false);
        defaults.setString(u"  "_s, UserDefaults::kMapTileUrlKey);
        defaults.setString(u" http://127.0.0.1/reverse "_s, UserDefaults::kGeocoderUrlKey);
        ASSERT_TRUE(defaults.synchronize());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { u"Velloran.ini"_s });
    const QByteArray text = bytesOf(path);
    for (const char* key : { "PROJECT_SESSION=", "PROJECT_SESSION.unreadable=", "rateMeCounter=3", "appVersion=1.2",
             "notShowRenameResetPopup=true", "onlineServicesConsent=false" })
        EXPECT_TRUE(text.contains(key)) << key;
    UserDefaults again(path);
    EXPECT_EQ(again.presetArchive(), QByteArray("{}"));
    EXPECT_EQ(again.dataForKey(u"PROJECT_SESSION.unreadable"_s), "damaged");
    EXPECT_EQ(again.dataForKey(u"PROJECT_SESSION.unreadable.2"_s), "damaged again");
    EXPECT_EQ(again.rateMeCounter(), 3);
    EXPECT_EQ(again.ratedVersion(), u"1.2"_s);
    EXPECT_TRUE(again.notShowRenameResetPopup());
    EXPECT_FALSE(again.notShowPromotionWindow());
    EXPECT_EQ(again.onlineConsent(), false);
    EXPECT_FALSE(again.mapTileUrl().has_value());
    EXPECT_EQ(again.geocoderUrl(), u"http://127.0.0.1/reverse"_s);
}
