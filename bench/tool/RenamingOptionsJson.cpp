#include "RenamingOptionsJson.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

// Reads the fields of one JSON object into their targets and collects the first error.
class FieldReader {
public:
    FieldReader(const QJsonObject& object, QString path)
        : m_object(object)
        , m_path(std::move(path))
    {
    }

    void readInt(const char* key, int& target)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!value.isDouble() || number != std::trunc(number) || number < std::numeric_limits<int>::min()
            || number > std::numeric_limits<int>::max()) {
            fail(key, u"a whole number"_s);
            return;
        }
        target = static_cast<int>(number);
    }

    void readString(const char* key, QString& target)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return;
        if (!value.isString()) {
            fail(key, u"a text"_s);
            return;
        }
        target = value.toString();
    }

    // The nested object, or an empty one (and an error) when the value is no object.
    QJsonObject object(const char* key)
    {
        const QJsonValue value = take(key);
        if (value.isUndefined())
            return {};
        if (!value.isObject()) {
            fail(key, u"an object"_s);
            return {};
        }
        return value.toObject();
    }

    QString path(const char* key) const { return m_path + QString::fromLatin1(key) + u'.'; }

    // The first error, including a key that no read asked for.
    QString finish() const
    {
        if (!m_error.isEmpty())
            return m_error;
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!m_seen.contains(it.key()))
                return u"unknown key \"%1%2\""_s.arg(m_path, it.key());
        }
        return {};
    }

private:
    QJsonValue take(const char* key)
    {
        const QString name = QString::fromLatin1(key);
        m_seen.append(name);
        return m_object.value(name);
    }

    void fail(const char* key, const QString& kind)
    {
        if (m_error.isEmpty())
            m_error = u"\"%1%2\" must be %3"_s.arg(m_path, QString::fromLatin1(key), kind);
    }

    const QJsonObject& m_object;
    QString m_path;
    QStringList m_seen;
    QString m_error;
};

} // namespace

std::variant<OutputRenamingOptions, QString> renamingOptionsFromJson(const QByteArray& json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return u"not JSON: %1 at byte %2"_s.arg(parseError.errorString()).arg(parseError.offset);
    if (!document.isObject())
        return u"not a JSON object"_s;

    OutputRenamingOptions options;
    const QJsonObject root = document.object();
    FieldReader top(root, QString());
    top.readInt("renamingOptionIndex", options.renamingOptionIndex);
    top.readInt("addStringCheck", options.addStringCheck);
    top.readInt("addEXIFDateTimeCheck", options.addEXIFDateTimeCheck);
    top.readInt("addEXIFLocationCheck", options.addEXIFLocationCheck);
    top.readInt("appendWidthHeightCheck", options.appendWidthHeightCheck);
    top.readInt("replaceFilenameCheck", options.replaceFilenameCheck);
    top.readInt("editOptionSelect", options.editOptionSelect);
    top.readInt("sourseFolderSelected", options.sourseFolderSelected);
    top.readString("ouptputFolderPathName", options.ouptputFolderPathName);

    const QJsonObject dateObject = top.object("addEXIFDateTime");
    FieldReader date(dateObject, top.path("addEXIFDateTime"));
    date.readInt("asValue", options.addEXIFDateTime.asValue);
    date.readInt("typeValue", options.addEXIFDateTime.typeValue);
    date.readInt("formatValue", options.addEXIFDateTime.formatValue);

    const QJsonObject locationObject = top.object("addEXIFLocation");
    FieldReader location(locationObject, top.path("addEXIFLocation"));
    location.readInt("placeTick", options.addEXIFLocation.placeTick);
    location.readInt("cityTick", options.addEXIFLocation.cityTick);
    location.readInt("countryTick", options.addEXIFLocation.countryTick);
    location.readInt("stateTick", options.addEXIFLocation.stateTick);
    location.readString("locationPlaceValue", options.addEXIFLocation.locationPlaceValue);
    location.readString("locationStateValue", options.addEXIFLocation.locationStateValue);
    location.readString("locationCityValue", options.addEXIFLocation.locationCityValue);
    location.readString("locationCountryValue", options.addEXIFLocation.locationCountryValue);
    location.readString("locationDetailFull", options.addEXIFLocation.locationDetailFull);

    const QJsonObject sizeObject = top.object("appendWidthHeight");
    FieldReader size(sizeObject, top.path("appendWidthHeight"));
    size.readString("widthHeightValue", options.appendWidthHeight.widthHeightValue);

    const QJsonObject replaceObject = top.object("replaceFilename");
    FieldReader replace(replaceObject, top.path("replaceFilename"));
    replace.readString("customNameValue", options.replaceFilename.customNameValue);

    const QJsonObject addObject = top.object("addString");
    FieldReader add(addObject, top.path("addString"));
    add.readString("addStringPrefixValue", options.addString.addStringPrefixValue);
    add.readString("addStringSuffixValue", options.addString.addStringSuffixValue);

    for (const FieldReader* reader : { &top, &date, &location, &size, &replace, &add }) {
        const QString error = reader->finish();
        if (!error.isEmpty())
            return error;
    }
    return options;
}
