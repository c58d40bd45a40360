#include "platform/PlistReader.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace {

// Reads a whole property list back into a compact text: dictionaries as {k=v,...},
// arrays as [v,...], plain values as kind:text.
QString walk(PlistReader& reader)
{
    switch (reader.kind()) {
    case PlistReader::Kind::Dict: {
        QStringList parts;
        QString key;
        while (reader.nextKey(&key))
            parts.append(key + u'=' + walk(reader));
        return u'{' + parts.join(u',') + u'}';
    }
    case PlistReader::Kind::Array: {
        QStringList parts;
        while (reader.nextItem())
            parts.append(walk(reader));
        return u'[' + parts.join(u',') + u']';
    }
    case PlistReader::Kind::Integer:
        return QStringLiteral("i:") + reader.readText();
    case PlistReader::Kind::Boolean:
        return QStringLiteral("b:") + reader.readText();
    case PlistReader::Kind::Unknown:
        reader.skip();
        return QStringLiteral("?");
    default:
        return QStringLiteral("s:") + reader.readText();
    }
}

QString walkDocument(const QByteArray& xml, QString* error = nullptr)
{
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    PlistReader reader(&buffer);
    QString result = reader.readRoot() ? walk(reader) : QString();
    if (error)
        *error = reader.hasError() ? reader.errorString() : QString();
    return reader.hasError() ? QStringLiteral("error") : result;
}

} // namespace

TEST(PlistReader, readsNestedValuesInDocumentOrder)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
    <key>Name</key><string>Caf&#233; &amp; Bar — Zürich</string>
    <key>Count</key><integer>100000</integer>
    <key>Flags</key><array><true/><false/></array>
    <key>Empty</key><dict/>
    <key>Inner</key><dict><key>ImagePath</key><string>/a b/c.jpg</string><key>Blank</key><string></string></dict>
    <key>Other</key><foo>x</foo>
</dict>
</plist>)";

    EXPECT_EQ(walkDocument(xml),
        QStringLiteral("{Name=s:Café & Bar — Zürich,Count=i:100000,Flags=[b:true,b:false],"
                       "Empty={},Inner={ImagePath=s:/a b/c.jpg,Blank=s:},Other=?}"));
}

TEST(PlistReader, skipsWholeContainersAndReadsTheKeyAfterThem)
{
    QBuffer buffer;
    buffer.setData("<plist><dict><key>Skip</key><array><dict><key>x</key><array><string>deep</string></array></dict>"
                   "</array><key>Keep</key><string>yes</string></dict></plist>");
    buffer.open(QIODevice::ReadOnly);
    PlistReader reader(&buffer);
    ASSERT_TRUE(reader.readRoot());
    QString key;
    QStringList seen;
    while (reader.nextKey(&key))
        key == u"Keep" ? seen.append(reader.readText()) : reader.skip();
    EXPECT_FALSE(reader.hasError());
    EXPECT_EQ(seen, QStringList { "yes" });
}

TEST(PlistReader, reportsDocumentsItCannotReadAsErrors)
{
    const QList<std::pair<const char*, QByteArray>> cases = {
        { "empty", "" },
        { "not a property list", "<html><body/></html>" },
        { "no root value", "<plist></plist>" },
        { "cut off", "<plist><dict><key>a</key><string>b</string>" },
        { "a value where a key belongs", "<plist><dict><string>b</string></dict></plist>" },
        { "a key without value", "<plist><dict><key>a</key></dict></plist>" },
        { "markup inside a text", "<plist><dict><key>a</key><string>b<i>c</i></string></dict></plist>" },
        { "not well-formed", "<plist><dict><key>a</key><string>b</dict></string></plist>" },
    };
    for (const auto& [what, xml] : cases) {
        QString error;
        EXPECT_EQ(walkDocument(xml, &error), "error") << what;
        EXPECT_FALSE(error.isEmpty()) << what;
    }
}
