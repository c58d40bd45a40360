#include "form/FormDisplay.h"

#include "services/Utils.h"
#include "base/DatePattern.h"
#include "form/DropDownTables.h"
#include "model/MetaDataObject.h"

#include <QRegularExpression>

const QString FormDisplay::kMultipleValues = QStringLiteral("Multiple values");

QString PlaceholderState::placeholderText(MetadataField field) const
{
    return showsMultipleValues(field) ? FormDisplay::kMultipleValues : QString();
}

QString FormDisplay::displayText(const FormField& field, const MetaDataObject& record, const DropDownTables& tables)
{
    switch (field.shownAs) {
    case DisplayForm::Text:
        return record.field(field.field);
    case DisplayForm::Label:
        return tables.getValueForOption(field.dropDownTag, record);
    case DisplayForm::Date:
        return dateText(record.field(field.field));
    case DisplayForm::IptcDate:
        return iptcDateText(record.field(field.field));
    case DisplayForm::NotShown:
        break;
    }
    return QString();
}

bool FormDisplay::isHighlighted(const FormField& field, const MetaDataObject& record)
{
    return field.outlined && record.isUpdated(field.field);
}

QString FormDisplay::dateText(const QString& stored)
{
    if (stored.isEmpty())
        return QString();
    QString text = stored;
    // An ISO date's zone ("Z", "+05:30", "-0800") stays as it is, so that it shows
    // with its sign; only the "T" and the date's "-" take the record form's places.
    static const QRegularExpression zone(QStringLiteral("(?<=\\d)(Z|[+-]\\d\\d:?\\d\\d)$"));
    QString zoneText;
    if (text.contains(u'T')) {
        zoneText = zone.match(text).captured();
        text.chop(zoneText.size());
    }
    text.replace(u'T', u' ');
    text.replace(u'-', u':');
    text += zoneText;
    const QString shown = Utils::sharedUtils().convertedDate(
        text, QStringLiteral("yyyy:MM:dd HH:mm:ss"), QStringLiteral("MMM dd,yyyy hh:mm:ss a"));
    return shown.isEmpty() ? text : shown;
}

QString FormDisplay::iptcDateText(const QString& stored)
{
    static const DatePattern printer(QStringLiteral("MMM dd,yyyy"));
    for (const char* pattern : { "yyyyMMdd", "yyyy-MM-dd" }) {
        if (auto date = DatePattern(QString::fromLatin1(pattern)).read(stored))
            return printer.print(*date);
    }
    return QString();
}

PlaceholderState FormDisplay::placeholders(
    int photoCount, const std::bitset<kMetadataFieldCount>& hasValue, const MetaDataObject& form)
{
    PlaceholderState state;
    if (photoCount < 2)
        return state;
    for (const FormField& f : FormFieldTable::sharedTable().fields()) {
        if (f.placeholder == PlaceholderRule::None)
            continue;
        const std::size_t i = fieldIndex(f.field);
        state.multipleValues[i] = hasValue[i] && !form.isUpdated(f.field) && form.field(f.field).isEmpty();
    }
    return state;
}
