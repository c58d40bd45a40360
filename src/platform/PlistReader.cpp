#include "platform/PlistReader.h"

PlistReader::PlistReader(QIODevice* device)
    : m_xml(device)
{
}

bool PlistReader::readRoot()
{
    if (!m_xml.readNextStartElement())
        return false;
    if (m_xml.name() != u"plist") {
        m_xml.raiseError(QStringLiteral("the document is not a property list"));
        return false;
    }
    if (!m_xml.readNextStartElement()) {
        if (!m_xml.hasError())
            m_xml.raiseError(QStringLiteral("the property list is empty"));
        return false;
    }
    return true;
}

PlistReader::Kind PlistReader::kind() const
{
    if (m_xml.tokenType() != QXmlStreamReader::StartElement)
        return Kind::Unknown;
    const QStringView name = m_xml.name();
    if (name == u"dict")
        return Kind::Dict;
    if (name == u"array")
        return Kind::Array;
    if (name == u"string")
        return Kind::String;
    if (name == u"integer")
        return Kind::Integer;
    if (name == u"real")
        return Kind::Real;
    if (name == u"true" || name == u"false")
        return Kind::Boolean;
    if (name == u"date")
        return Kind::Date;
    if (name == u"data")
        return Kind::Data;
    return Kind::Unknown;
}

bool PlistReader::nextKey(QString* key)
{
    // Standing on the dictionary's start or on the end of its previous value, the
    // next start element inside it is a key; none means the dictionary ended.
    if (!m_xml.readNextStartElement())
        return false;
    if (m_xml.name() != u"key") {
        m_xml.raiseError(QStringLiteral("a dictionary holds <%1> where a key belongs").arg(m_xml.name()));
        return false;
    }
    *key = m_xml.readElementText();
    if (m_xml.hasError())
        return false;
    if (!m_xml.readNextStartElement()) {
        if (!m_xml.hasError())
            m_xml.raiseError(QStringLiteral("the key \"%1\" has no value").arg(*key));
        return false;
    }
    return true;
}

bool PlistReader::nextItem()
{
    return m_xml.readNextStartElement();
}

QString PlistReader::readText()
{
    switch (kind()) {
    case Kind::Boolean: {
        const bool value = m_xml.name() == u"true";
        m_xml.skipCurrentElement();
        return value ? QStringLiteral("true") : QStringLiteral("false");
    }
    case Kind::Dict:
    case Kind::Array:
    case Kind::Unknown:
        skip();
        return {};
    default:
        return m_xml.readElementText();
    }
}

void PlistReader::skip()
{
    if (m_xml.tokenType() == QXmlStreamReader::StartElement)
        m_xml.skipCurrentElement();
}

QString PlistReader::errorString() const
{
    return QStringLiteral("line %1, column %2: %3")
        .arg(m_xml.lineNumber())
        .arg(m_xml.columnNumber())
        .arg(m_xml.errorString());
}
