#include "form/DropDownTables.h"

#include "base/Logging.h"
#include "form/FormFieldTable.h"
#include "model/MetaDataObject.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

const QString DropDownTables::kLeaveBlank = QStringLiteral("Leave Blank");
const QString DropDownTables::kCountriesResource = QStringLiteral(":/countries.json");

namespace {

struct Row {
    const char* value;
    const char* label;
};

DropDownOptionTable makeTable(std::initializer_list<Row> rows)
{
    DropDownOptionTable table;
    table.labels << DropDownTables::kLeaveBlank;
    table.values << QStringLiteral("");
    for (const Row& row : rows) {
        table.labels << QString::fromUtf8(row.label);
        table.values << QString::fromUtf8(row.value);
    }
    return table;
}

} // namespace

DropDownTables::DropDownTables()
{
    // Labels in alphabetical order, ignoring case; each code stands beside its label.
    m_tables = {
        makeTable({ { "24", "Auto, Did not fire" }, { "88", "Auto, Did not fire, Red eye reduction" },
            { "25", "Auto, Fired" }, { "89", "Auto, Fired, Red eye reduction" },
            { "95", "Auto, Fired, Red eye reduction, Return detected" },
            { "93", "Auto, Fired, Red eye reduction, Return not detected" }, { "31", "Auto, Fired, Return detected" },
            { "29", "Auto, Fired, Return not detected" }, { "1", "Fired" }, { "65", "Fired, Red eye reduction" },
            { "71", "Fired, Red eye reduction, Return detected" },
            { "69", "Fired, Red eye reduction, Return not detected" }, { "7", "Fired, Return detected" },
            { "5", "Fired, Return not detected" }, { "0", "No Flash" }, { "32", "No flash function" },
            { "16", "Off, Did not fire" }, { "20", "Off, Did not fire, Return not detected" },
            { "48", "Off, No flash function" }, { "80", "Off, Red eye reduction" }, { "8", "On, Did not fire" },
            { "9", "On, Fired" }, { "73", "On, Red eye reduction" }, { "79", "On, Red eye reduction, Return detected" },
            { "77", "On, Red eye reduction, Return not detected" }, { "15", "On, Return detected" },
            { "13", "On, Return not detected" } }),
        makeTable({ { "1", "Horizontal (normal)" }, { "2", "Mirror horizontal" },
            { "5", "Mirror horizontal and rotate 270 CW" }, { "7", "Mirror horizontal and rotate 90 CW" },
            { "4", "Mirror vertical" }, { "3", "Rotate 180" }, { "8", "Rotate 270 CW" }, { "6", "Rotate 90 CW" } }),
        makeTable({ { "2", "Adobe RGB" }, { "65534", "ICC Profile" }, { "1", "sRGB" }, { "65535", "Uncalibrated" },
            { "65533", "Wide Gamut RGB" } }),
        makeTable({ { "0", "Auto" }, { "2", "Auto Bracket" }, { "1", "Manual" } }),
        makeTable({ { "6", "Action (High Speed)" }, { "3", "Aperture-priority AE" }, { "9", "Bulb" },
            { "5", "Creative (Slow Speed)" }, { "8", "Landscape" }, { "1", "Manual" }, { "0", "Not defined" },
            { "7", "Portrait" }, { "2", "Program AE" }, { "4", "Shutter speed priority AE" } }),
        makeTable({ { "1", "Average" }, { "2", "Centre-weighted average" }, { "5", "Multi-segment" },
            { "4", "Multi-spot" }, { "255", "Other" }, { "6", "Partial" }, { "3", "Spot" }, { "0", "Unknown" } }),
        makeTable({ { "1", "Landscape" }, { "3", "Night" }, { "2", "Portrait" }, { "0", "Standard" } }),
        makeTable({ { "5", "Color Sequential area" }, { "8", "Color sequential linear" }, { "1", "Not defined" },
            { "2", "One-chip color area" }, { "4", "Three-chip color area" }, { "7", "Trilinear" },
            { "3", "Two-chip color area" } }),
        makeTable({ { "2", "Close" }, { "3", "Distant" }, { "1", "Macro" }, { "0", "Unknown" } }),
        makeTable({ { "3", "cm" }, { "2", "inches" }, { "1", "None" } }),
        makeTable({ { "N", "North" }, { "S", "South" } }),
        makeTable({ { "E", "East" }, { "W", "West" } }),
        makeTable({ { "0", "Above Sea Level" }, { "1", "Below Sea Level" } }),
        makeTable({ { "M", "Magnetic North" }, { "T", "True North" } }),
        makeTable({}),
    };
    Q_ASSERT(m_tables.size() == FormFieldTable::kDropDownTagCount);
}

bool DropDownTables::loadCountries(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcForm) << "Cannot read the country list" << path << file.errorString();
        m_tables.last() = makeTable({});
        return false;
    }
    return loadCountriesFromJson(file.readAll());
}

bool DropDownTables::loadCountriesFromJson(const QByteArray& json)
{
    DropDownOptionTable countries = makeTable({});
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isArray()) {
        qCWarning(lcForm) << "The country list is no JSON array:" << error.errorString();
        m_tables.last() = countries;
        return false;
    }
    for (const QJsonValue& entry : document.array()) {
        const QJsonObject object = entry.toObject();
        const QString name = object.value(QStringLiteral("name")).toString();
        const QString code = object.value(QStringLiteral("code")).toString();
        // A row without both texts could only store "" or show nothing.
        if (name.isEmpty() || code.isEmpty())
            continue;
        countries.labels << name;
        countries.values << code;
    }
    m_tables.last() = countries;
    return true;
}

const DropDownOptionTable& DropDownTables::table(int tag) const
{
    static const DropDownOptionTable none;
    if (tag < 0 || tag >= m_tables.size())
        return none;
    return m_tables[tag];
}

QString DropDownTables::labelForValue(int tag, const QString& value) const
{
    if (value.isEmpty())
        return QString();
    const int row = rowForValue(tag, value);
    return row > 0 ? table(tag).labels[row] : QString();
}

QString DropDownTables::getValueForOption(int tag, const MetaDataObject& record) const
{
    const FormField* field = FormFieldTable::sharedTable().fieldForDropDownTag(tag);
    if (!field)
        return QString();
    return labelForValue(tag, record.field(field->field));
}

std::optional<QString> DropDownTables::storedValueForRow(int tag, int row) const
{
    const DropDownOptionTable& t = table(tag);
    if (row < 0 || row >= t.rowCount())
        return std::nullopt;
    return row == 0 ? kLeaveBlank : t.values[row];
}

int DropDownTables::rowForValue(int tag, const QString& value) const
{
    const DropDownOptionTable& t = table(tag);
    if (t.rowCount() == 0)
        return -1;
    if (value.isEmpty() || value == kLeaveBlank)
        return 0;
    const qsizetype row = t.values.indexOf(value, 1);
    return row > 0 ? static_cast<int>(row) : -1;
}
