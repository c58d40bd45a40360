#include "platform/XmpWorkers.h"
#include "platform/XmpKeptAnswers.h"

#include "platform/Exiv2Adapter.h"
#include "platform/Exiv2Setup.h"
#include "support/TestSupport.h"

#include <QDirIterator>
#include <QFile>
#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// Every kind of node exiv2 decodes: a plain text, a struct and its fields, the three
// arrays, a language alternative, an array of structs, a qualifier, and a namespace
// of no standard, whose prefix the worker enters here.
const std::string kPacket = R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF
 xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
 <rdf:Description rdf:about="uuid:faf5bdd5-ba3d-11da-ad31-d33d75182f1b"
  xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:xmp="http://ns.adobe.com/xap/1.0/"
  xmlns:xmpMM="http://ns.adobe.com/xap/1.0/mm/" xmlns:stEvt="http://ns.adobe.com/xap/1.0/sType/ResourceEvent#"
  xmlns:Iptc4xmpCore="http://iptc.org/std/Iptc4xmpCore/1.0/xmlns/"
  xmlns:velloranTest="http://ns.example.org/velloran-test/1.0/"
  xmp:Rating="3" velloranTest:Mood="calm &amp; &lt;quiet&gt;">
 <dc:title><rdf:Alt><rdf:li xml:lang="x-default">Lyon</rdf:li><rdf:li xml:lang="de-DE">Lyon an der Rhone</rdf:li>
  <rdf:li xml:lang="fr-FR"></rdf:li></rdf:Alt></dc:title>
 <dc:subject><rdf:Bag><rdf:li>bench</rdf:li><rdf:li>noise</rdf:li></rdf:Bag></dc:subject>
 <dc:creator><rdf:Seq><rdf:li>Ann</rdf:li><rdf:li>Bo</rdf:li></rdf:Seq></dc:creator>
 <xmp:Identifier><rdf:Alt><rdf:li>one</rdf:li></rdf:Alt></xmp:Identifier>
 <Iptc4xmpCore:CreatorContactInfo rdf:parseType="Resource"><Iptc4xmpCore:CiAdrCity>Lyon</Iptc4xmpCore:CiAdrCity>
 </Iptc4xmpCore:CreatorContactInfo>
 <xmpMM:History><rdf:Seq><rdf:li rdf:parseType="Resource"><stEvt:action>saved</stEvt:action>
  <stEvt:when>2024-05-01T10:00:00Z</stEvt:when></rdf:li></rdf:Seq></xmpMM:History>
 <dc:rights><rdf:Alt><rdf:li xml:lang="x-default">(c) 2024</rdf:li></rdf:Alt></dc:rights>
 <dc:description><rdf:Description><rdf:value>text</rdf:value><velloranTest:note>n</velloranTest:note>
 </rdf:Description></dc:description>
 </rdf:Description></rdf:RDF></x:xmpmeta>)";

// A packet of one empty description with these attributes (declarations, properties).
std::string packetWith(const std::string& attributes)
{
    return "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
           "<rdf:Description rdf:about='' "
        + attributes + "/></rdf:RDF></x:xmpmeta>";
}

// What a worker asks of a packet it parsed: whether its declarations could all be
// read and each is standard, so that it leaves the toolkit's table as it was.
bool declaresOnlyStandardPrefixes(std::string_view packet)
{
    const std::optional<std::vector<XmpDeclaration>> declarations = xmpDeclarationsOf(packet);
    return declarations && std::all_of(declarations->begin(), declarations->end(), isStandardXmpDeclaration);
}

// What a decode made, datum by datum, with what exiv2's encode reads of each.
std::vector<std::string> described(const Exiv2::XmpData& data)
{
    std::vector<std::string> lines;
    for (const Exiv2::Xmpdatum& datum : data) {
        const auto& value = dynamic_cast<const Exiv2::XmpValue&>(datum.value());
        lines.push_back(datum.key() + " " + std::to_string(datum.typeId()) + " "
            + std::to_string(value.xmpArrayType()) + " " + std::to_string(value.xmpStruct()) + " "
            + std::to_string(datum.count()) + " [" + datum.toString() + "]");
    }
    return lines;
}

int decodedHere(Exiv2::XmpData& data, const std::string& packet)
{
    const auto lock = lockXmpToolkit();
    return Exiv2::XmpParser::decode(data, packet);
}

} // namespace

TEST(XmpWorkers, decodeAndEncodeAsTheToolkitOfThisProcessDoes)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData here;
    ASSERT_EQ(decodedHere(here, kPacket), 0);
    Exiv2::XmpData apart;
    ASSERT_EQ(XmpWorkers::decode(apart, kPacket), 0);
    EXPECT_EQ(described(apart), described(here));
    EXPECT_GE(apart.count(), 15);
    EXPECT_EQ(apart.xmpPacket(), kPacket);

    std::string packetHere;
    {
        const auto lock = lockXmpToolkit();
        ASSERT_EQ(Exiv2::XmpParser::encode(packetHere, here, Exiv2::XmpParser::useCompactFormat), 0);
    }
    std::string packetApart;
    ASSERT_EQ(XmpWorkers::encode(packetApart, apart, Exiv2::XmpParser::useCompactFormat), 0);
    EXPECT_EQ(packetApart, packetHere);
    EXPECT_NE(packetApart.find("velloranTest:Mood=\"calm &amp; &lt;quiet&gt;\""), std::string::npos) << packetApart;

    // A field of a struct in a namespace that only this toolkit learnt from the
    // packet (exiv2 enters the schemas' alone) cannot be named to a worker: such data
    // stays with this process both ways.
    const std::string nested = R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF
 xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about=""
 xmlns:velloranTest="http://ns.example.org/velloran-test/1.0/" xmlns:velloranItem="http://ns.example.org/velloran-item/">
 <velloranTest:Directory><rdf:Seq><rdf:li rdf:parseType="Resource"><velloranItem:Mime>image/jpeg</velloranItem:Mime>
 </rdf:li></rdf:Seq></velloranTest:Directory></rdf:Description></rdf:RDF></x:xmpmeta>)";
    Exiv2::XmpData nestedHere;
    ASSERT_EQ(decodedHere(nestedHere, nested), 0);
    Exiv2::XmpData nestedApart;
    EXPECT_FALSE(XmpWorkers::decode(nestedApart, nested));
    std::string nestedPacket;
    EXPECT_FALSE(XmpWorkers::encode(nestedPacket, nestedHere, Exiv2::XmpParser::useCompactFormat));

    // Nothing to say, and a packet the toolkit cannot read: exiv2's answers, its
    // data emptied and the packet kept.
    std::string none = "left over";
    EXPECT_EQ(XmpWorkers::encode(none, Exiv2::XmpData(), 0), 0);
    EXPECT_EQ(none, "");
    const std::string broken = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF><unclosed>";
    Exiv2::XmpData brokenHere;
    Exiv2::XmpData brokenApart = here;
    const std::optional<int> code = XmpWorkers::decode(brokenApart, broken);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, decodedHere(brokenHere, broken));
    EXPECT_NE(*code, 0);
    EXPECT_TRUE(brokenApart.empty());
    EXPECT_EQ(brokenApart.xmpPacket(), broken);
}

TEST(XmpWorkers, manyThreadsAtOnceGetEachTheirOwnPacketsData)
{
    std::vector<std::string> packets;
    for (int i = 0; i < 16; ++i)
        packets.push_back(R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Rating=")"
            + std::to_string(i) + R"("/></rdf:RDF></x:xmpmeta>)");
    std::vector<std::string> ratings(packets.size() * 8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < packets.size(); ++i) {
                Exiv2::XmpData data;
                if (XmpWorkers::decode(data, packets[i]) == 0)
                    ratings[std::size_t(t) * packets.size() + i] = data["Xmp.xmp.Rating"].toString();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < ratings.size(); ++i)
        EXPECT_EQ(ratings[i], std::to_string(i % packets.size()));
}

// A JPEG whose packet a worker parses is read from a copy without the packet's
// segment; what exiv2 then reads, and the file it writes, must be what exiv2 reads
// and writes from the photo as it is.
TEST(XmpWorkers, aJpegReadWithItsPacketParsedApartReadsAndWritesAsExiv2AloneDoes)
{
    int withPacket = 0;
    for (QDirIterator it(samplesDir(), { QStringLiteral("*.jpg") }, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(path.toStdString());
        const auto edit = [](Exiv2::Image& image) {
            image.xmpData()["Xmp.dc.source"] = "Velloran";
            image.exifData()["Exif.Image.Artist"] = "Velloran";
            return true;
        };

        std::unique_ptr<Exiv2::Image> alone;
        QByteArray writtenAlone;
        try {
            const auto lock = lockXmpToolkit();
            alone.reset(Exiv2::ImageFactory::open(
                reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()))
                            .release());
            alone->readMetadata();
            const std::unique_ptr<Exiv2::Image> written(Exiv2::ImageFactory::open(
                reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()))
                                                            .release());
            written->readMetadata();
            edit(*written);
            useStandardXmpPrefixes();
            written->writeMetadata();
            Exiv2::BasicIo& io = written->io();
            io.open();
            writtenAlone = QByteArray(reinterpret_cast<const char*>(io.mmap()), qsizetype(io.size()));
            io.munmap();
            io.close();
        } catch (const std::exception&) {
            continue; // a photo exiv2 cannot read or write at all
        }
        const std::unique_ptr<Exiv2::Image> read
            = Exiv2Adapter::openBuffer(bytes, QStringLiteral("read"), path, Exiv2Adapter::Severity::Debug);
        ASSERT_NE(read, nullptr);
        alone->writeXmpFromPacket(true);
        read->writeXmpFromPacket(true);
        EXPECT_EQ(read->xmpPacket(), alone->xmpPacket());
        withPacket += alone->xmpPacket().empty() ? 0 : 1;
        EXPECT_EQ(described(read->xmpData()), described(alone->xmpData()));
        EXPECT_EQ(read->exifData().count(), alone->exifData().count());
        EXPECT_EQ(read->iptcData().count(), alone->iptcData().count());
        EXPECT_EQ(read->comment(), alone->comment());
        EXPECT_EQ(read->pixelWidth(), alone->pixelWidth());

        QByteArray written;
        Exiv2Adapter::editInMemory(bytes, path, edit, [&](QByteArrayView saved) { written = saved.toByteArray(); });
        EXPECT_TRUE(written == writtenAlone);
    }
    EXPECT_GE(withPacket, 8);
}

TEST(XmpWorkers, aPacketWithAnOlderPrefixLeavesNoTraceInTheNextEncode)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData data;
    data["Xmp.xmp.CreateDate"] = "2024-05-01T10:00:00";
    data["Xmp.dc.source"] = "Velloran";
    std::string standard;
    ASSERT_EQ(XmpWorkers::encode(standard, data, Exiv2::XmpParser::useCompactFormat), 0);
    ASSERT_NE(standard.find("xmp:CreateDate"), std::string::npos) << standard;

    // One thread's requests go to one worker: this parse and the encodes meet the same toolkit.
    const std::string older = R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF
 xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about=""
 xmlns:xap="http://ns.adobe.com/xap/1.0/" xap:CreateDate="2001-01-01T00:00:00"/></rdf:RDF></x:xmpmeta>)";
    for (int round = 0; round < 2; ++round) {
        Exiv2::XmpData read;
        ASSERT_EQ(XmpWorkers::decode(read, round == 0 ? older : standard), 0);
        std::string again;
        ASSERT_EQ(XmpWorkers::encode(again, data, Exiv2::XmpParser::useCompactFormat), 0);
        EXPECT_EQ(again, standard);
    }
}

// Text that reads as a declaration up to a quote of the other kind (in a value, in
// CDATA) hides the real declaration behind it, which gives stRef another namespace:
// the next encode still writes another photo's stRef fields in their own.
TEST(XmpWorkers, aDeclarationHiddenBehindTextThatLooksLikeOneLeavesNoTraceInTheNextEncode)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData data;
    Exiv2::XmpTextValue derivedFrom;
    derivedFrom.setXmpStruct();
    data.add(Exiv2::XmpKey("Xmp.xmpMM.DerivedFrom"), &derivedFrom);
    data["Xmp.xmpMM.DerivedFrom/stRef:instanceID"] = "uuid:1";
    std::string standard;
    ASSERT_EQ(XmpWorkers::encode(standard, data, Exiv2::XmpParser::useCompactFormat), 0);
    ASSERT_NE(standard.find("xmlns:stRef=\"http://ns.adobe.com/xap/1.0/sType/ResourceRef#\""), std::string::npos);

    const std::string other = R"(<rdf:Description xmlns:stRef="http://example.org/other/" stRef:a="1"/>)";
    const auto packet = [](const std::string& description) {
        return R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
               R"(<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/")"
            + description + "</rdf:Description></rdf:RDF></x:xmpmeta>";
    };
    for (const std::string& hiding : {
             packet(R"( xmp:Label="xmlns:a='" xmlns:stRef="http://example.org/other/" stRef:a="1" xmp:Nick="'">)"),
             packet(R"(><xmp:Label>xmlns:a="</xmp:Label><xmp:Thing>)" + other + "</xmp:Thing>"),
             packet(R"(><xmp:Label><![CDATA[xmlns:a="]]></xmp:Label><xmp:Thing>)" + other + "</xmp:Thing>"),
         }) {
        SCOPED_TRACE(hiding);
        EXPECT_FALSE(xmpDeclarationsOf(hiding));
        Exiv2::XmpData read;
        static_cast<void>(XmpWorkers::decode(read, hiding));
        std::string again;
        ASSERT_EQ(XmpWorkers::encode(again, data, Exiv2::XmpParser::useCompactFormat), 0);
        EXPECT_EQ(again, standard);
    }
}

// A packet that gives Iptc4xmpCore a namespace exiv2 already knows by another prefix
// leaves that entry in the toolkit; exiv2 enters its namespace again at the next
// encode, which takes Iptc4xmpCore's own entry out after the prefixes were entered.
// Every later encode enters it again, also after packets that never declare it.
TEST(XmpWorkers, aStandardPrefixThatAnEncodeTookOutIsEnteredAgainForTheNextOne)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData data;
    Exiv2::XmpTextValue contact;
    contact.setXmpStruct();
    data.add(Exiv2::XmpKey("Xmp.iptc.CreatorContactInfo"), &contact);
    data["Xmp.iptc.CreatorContactInfo/Iptc4xmpCore:CiAdrCity"] = "Lyon";
    std::string standard;
    ASSERT_EQ(XmpWorkers::encode(standard, data, Exiv2::XmpParser::useCompactFormat), 0);

    Exiv2::XmpData read;
    ASSERT_EQ(XmpWorkers::decode(read, packetWith(R"(xmlns:w="http://example.org/ic" w:a="1")")), 0);
    ASSERT_EQ(XmpWorkers::decode(read, packetWith(R"(xmlns:Iptc4xmpCore="http://example.org/ic/" Iptc4xmpCore:b="2")")), 0);
    std::string written;
    ASSERT_EQ(XmpWorkers::encode(written, read, Exiv2::XmpParser::useCompactFormat), 0);
    ASSERT_EQ(XmpWorkers::decode(read, packetWith(R"(xmlns:velloranTest="http://ns.example.org/velloran-test/1.0/" velloranTest:c="3")")), 0);
    std::string again;
    EXPECT_EQ(XmpWorkers::encode(again, data, Exiv2::XmpParser::useCompactFormat), 0);
    EXPECT_EQ(again, standard);
}

TEST(XmpPrefixes, onlyStandardNamespacesUnderTheirStandardPrefixesLeaveTheTableAsItWas)
{
    initializeExiv2();
    EXPECT_TRUE(declaresOnlyStandardPrefixes(""));
    EXPECT_TRUE(declaresOnlyStandardPrefixes(kPacket.substr(0, kPacket.find("xmlns:velloranTest"))));
    EXPECT_TRUE(declaresOnlyStandardPrefixes(
        packetWith("xmlns:xmp = \"http://ns.adobe.com/xap/1.0/\"\n xmlns:dc='http://purl.org/dc/elements/1.1/'")));
    for (const char* declarations : {
             "xmlns:xap='http://ns.adobe.com/xap/1.0/'", // the older prefix of a standard namespace
             "xmlns:xmp='http://example.org/other/'", // a standard prefix for another namespace
             "xmlns:velloranTest='http://ns.example.org/velloran-test/1.0/'", // a namespace of no standard
             "xmlns='http://ns.adobe.com/xap/1.0/'", // a default namespace
             "xmlns:dc='http://purl.org/dc/1.1/'", // an old URI the toolkit takes for the standard one
             "xmlns:xmp='http://ns.adobe.com/xap/1.0&#47;'", // a character reference
             "xmlns:xmp='http://ns.adobe.com/xap/1.0/", // no closing quote
         })
        EXPECT_FALSE(declaresOnlyStandardPrefixes(packetWith(declarations))) << declarations;
    std::string utf16;
    for (const char c : packetWith("xmlns:xap='http://ns.adobe.com/xap/1.0/'")) {
        utf16 += c;
        utf16 += '\0';
    }
    EXPECT_FALSE(declaresOnlyStandardPrefixes(utf16));
}

TEST(XmpWorkers, enteringOnlyTheTouchedStandardPrefixesAgainUndoesAPacketsOwn)
{
    initializeExiv2();
    const std::string xap = packetWith("xmlns:xap='http://ns.adobe.com/xap/1.0/' xap:Rating='2'");
    const std::optional<std::vector<XmpDeclaration>> declarations = xmpDeclarationsOf(xap);
    ASSERT_TRUE(declarations);
    ASSERT_EQ(declarations->size(), 3u);
    EXPECT_EQ((*declarations)[2].prefix, "xap");
    EXPECT_EQ((*declarations)[2].uri, "http://ns.adobe.com/xap/1.0/");
    EXPECT_FALSE(isStandardXmpDeclaration((*declarations)[2]));

    const auto lock = lockXmpToolkit();
    Exiv2::XmpData data;
    data["Xmp.xmp.Rating"] = "4";
    const auto serialised = [&] {
        std::string packet;
        EXPECT_EQ(Exiv2::XmpParser::encode(packet, data, Exiv2::XmpParser::omitPacketWrapper), 0);
        return packet;
    };
    Exiv2::XmpData scratch;
    ASSERT_EQ(Exiv2::XmpParser::decode(scratch, xap), 0);
    EXPECT_NE(serialised().find("xap:Rating"), std::string::npos); // the packet's prefix stuck
    useStandardXmpPrefixesFor({ "xap", "http://ns.adobe.com/xap/1.0/" });
    EXPECT_NE(serialised().find("xmp:Rating"), std::string::npos);
    useStandardXmpPrefixes();
}

TEST(XmpWorkers, aPacketReadBackInTheEncodesTripReadsAsADecodeOfItDoes)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData data;
    ASSERT_EQ(XmpWorkers::decode(data, kPacket), 0);
    std::string packet;
    ASSERT_EQ(XmpWorkers::encode(packet, data, Exiv2::XmpParser::useCompactFormat, true), 0);
    Exiv2::XmpData here;
    ASSERT_EQ(decodedHere(here, packet), 0);

    // Read back from the encode's trip, then asked of a worker once more, and after a
    // decode of another packet in between: alike each time, and the packet kept.
    for (int round = 0; round < 2; ++round) {
        Exiv2::XmpData readBack;
        ASSERT_EQ(XmpWorkers::decode(readBack, packet), 0);
        EXPECT_EQ(described(readBack), described(here));
        EXPECT_EQ(readBack.xmpPacket(), packet);
    }
    std::string again;
    ASSERT_EQ(XmpWorkers::encode(again, data, Exiv2::XmpParser::useCompactFormat, true), 0);
    Exiv2::XmpData other;
    ASSERT_EQ(XmpWorkers::decode(other, kPacket), 0);
    Exiv2::XmpData readBack;
    ASSERT_EQ(XmpWorkers::decode(readBack, again), 0);
    EXPECT_EQ(described(readBack), described(here));
}

TEST(XmpWorkers, aPacketDecodedAgainOnTheSameThreadAnswersAsBeforeWithoutAWorker)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData here;
    ASSERT_EQ(decodedHere(here, kPacket), 0);
    Exiv2::XmpData first;
    ASSERT_EQ(XmpWorkers::decode(first, kPacket), 0);
    std::uint64_t sent = XmpWorkers::requestsSentSoFar();
    for (int round = 0; round < 2; ++round) {
        Exiv2::XmpData again;
        ASSERT_EQ(XmpWorkers::decode(again, kPacket), 0);
        EXPECT_EQ(described(again), described(here));
        EXPECT_EQ(again.xmpPacket(), kPacket);
    }
    EXPECT_EQ(XmpWorkers::requestsSentSoFar(), sent);

    // Another packet in between: the first is asked of a worker again.
    const std::string other = packetWith(R"(xmlns:dc="http://purl.org/dc/elements/1.1/" dc:format="image/jpeg")");
    Exiv2::XmpData otherData;
    ASSERT_EQ(XmpWorkers::decode(otherData, other), 0);
    Exiv2::XmpData afterOther;
    ASSERT_EQ(XmpWorkers::decode(afterOther, kPacket), 0);
    EXPECT_EQ(described(afterOther), described(here));
    EXPECT_EQ(XmpWorkers::requestsSentSoFar(), sent + 2);

    // A packet that cannot be read answers as it did, its error included.
    const std::string broken = kPacket.substr(0, kPacket.size() / 2);
    Exiv2::XmpData brokenHere;
    const int codeHere = decodedHere(brokenHere, broken);
    for (int round = 0; round < 2; ++round) {
        Exiv2::XmpData brokenData;
        EXPECT_EQ(XmpWorkers::decode(brokenData, broken), codeHere);
        EXPECT_EQ(described(brokenData), described(brokenHere));
    }
    sent = XmpWorkers::requestsSentSoFar();
    // Decoded on another thread, the packet is that thread's own business.
    std::thread([&] {
        Exiv2::XmpData elsewhere;
        EXPECT_EQ(XmpWorkers::decode(elsewhere, broken), codeHere);
    }).join();
    EXPECT_EQ(XmpWorkers::requestsSentSoFar(), sent + 1);
}

TEST(XmpWorkers, aListedPacketsParseServesOneLaterDecodeOfExactlyThatPacketOnAnyThread)
{
    ASSERT_TRUE(XmpWorkers::running());
    const std::string listed = packetWith(R"(xmlns:dc="http://purl.org/dc/elements/1.1/" dc:source="listed once")");
    const std::string broken = listed.substr(0, listed.size() - 9);
    std::string oneByteOff = listed;
    oneByteOff[oneByteOff.find("once")] = 'O';
    Exiv2::XmpData here;
    ASSERT_EQ(decodedHere(here, listed), 0);
    Exiv2::XmpData brokenHere;
    const int brokenCode = decodedHere(brokenHere, broken);
    ASSERT_NE(brokenCode, 0);
    for (const std::string* packet : { &listed, &broken }) {
        Exiv2::XmpData data;
        XmpWorkers::PendingDecode(*packet, true).finish(data);
    }

    const std::uint64_t sent = XmpWorkers::requestsSentSoFar();
    const auto decodeOnAnotherThread = [](const std::string& packet, Exiv2::XmpData& data) {
        std::optional<int> code;
        std::thread([&] { code = XmpWorkers::decode(data, packet); }).join();
        return code;
    };
    Exiv2::XmpData written;
    EXPECT_EQ(decodeOnAnotherThread(listed, written), 0);
    EXPECT_EQ(described(written), described(here));
    EXPECT_EQ(written.xmpPacket(), listed);
    Exiv2::XmpData brokenWritten;
    EXPECT_EQ(decodeOnAnotherThread(broken, brokenWritten), brokenCode);
    EXPECT_EQ(described(brokenWritten), described(brokenHere));
    EXPECT_EQ(XmpWorkers::requestsSentSoFar(), sent);

    // Taken once; a packet one byte away is never answered from another's parse.
    Exiv2::XmpData again;
    EXPECT_EQ(decodeOnAnotherThread(listed, again), 0);
    Exiv2::XmpData near;
    EXPECT_EQ(decodeOnAnotherThread(oneByteOff, near), 0);
    EXPECT_NE(described(near), described(here));
    EXPECT_EQ(XmpWorkers::requestsSentSoFar(), sent + 2);
}

TEST(XmpKeptAnswers, theOldestAnswersAreForgottenOnceTheKeptOnesPassTheirBound)
{
    const std::string answer(64 << 10, 'a');
    const std::size_t count = XmpKeptAnswers::kKeptForAnyThread / answer.size() + 8;
    for (std::size_t i = 0; i < count; ++i)
        XmpKeptAnswers::keepForAnyThread("bound " + std::to_string(i), answer);
    EXPECT_LE(XmpKeptAnswers::keptForAnyThreadBytes(), XmpKeptAnswers::kKeptForAnyThread);
    EXPECT_FALSE(XmpKeptAnswers::take("bound 0"));
    EXPECT_EQ(XmpKeptAnswers::take("bound " + std::to_string(count - 1)), answer);
    for (std::size_t i = 0; i < count; ++i)
        static_cast<void>(XmpKeptAnswers::take("bound " + std::to_string(i)));
}

TEST(XmpWorkers, aDecodeFinishedLaterAnswersAsAtOnceAndOneLeftUnfinishedFreesItsWorker)
{
    ASSERT_TRUE(XmpWorkers::running());
    Exiv2::XmpData atOnce;
    ASSERT_EQ(XmpWorkers::decode(atOnce, kPacket), 0);
    XmpWorkers::PendingDecode pending(kPacket);
    // Left unfinished, more of them than there are workers: each gives its worker back.
    for (unsigned i = 0; i < 2 * std::thread::hardware_concurrency() + 2; ++i)
        XmpWorkers::PendingDecode dropped(kPacket);
    Exiv2::XmpData later;
    ASSERT_EQ(pending.finish(later), 0);
    EXPECT_EQ(described(later), described(atOnce));
    EXPECT_EQ(later.xmpPacket(), kPacket);
}
