#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class MetaDataObject;

// One drop-down list: labels and the stored codes beside them. Row 0 is always
// "Leave Blank" with the code "".
struct DropDownOptionTable {
    QStringList labels;
    QStringList values;

    int rowCount() const { return static_cast<int>(labels.size()); }
};

// The drop-down lists of the form's fifteen coded fields (tags 0 to 14) and the
// turn from a stored code to its label. Tags 0 to 13 are fixed Exif codes and GPS
// reference letters; tag 14 is the country list, read from a JSON array of
// objects with "name" and "code".
class DropDownTables {
public:
    // The label row 0 shows and the text a choice of row 0 stores: it tells the
    // writer to remove the tag.
    static const QString kLeaveBlank;
    // The country list compiled into the application.
    static const QString kCountriesResource; // ":/countries.json"

    // Tables 0 to 13, and a country list of row 0 only until loadCountries().
    DropDownTables();

    // Reads the country list; on a file that is missing or not such a JSON array
    // the list keeps only row 0, the reason goes to the log and the answer is false.
    bool loadCountries(const QString& path = kCountriesResource);
    bool loadCountriesFromJson(const QByteArray& json);

    // The table of a tag; an empty table (no rows) outside 0 to 14.
    const DropDownOptionTable& table(int tag) const;
    // getArrayForDropDownOptionsForTag: / getArrayForDropDownOptionsValuesForTag:
    QStringList getArrayForDropDownOptionsForTag(int tag) const { return table(tag).labels; }
    QStringList getArrayForDropDownOptionsValuesForTag(int tag) const { return table(tag).values; }

    // The label of a stored code (exact text equality), "" for an empty text, an
    // unknown code, "Leave Blank" or a tag outside 0 to 14.
    QString labelForValue(int tag, const QString& value) const;
    // getValueForOption:MetaDataObject: the label of the tag's field in the record.
    QString getValueForOption(int tag, const MetaDataObject& record) const;
    // The text a choice of a row stores: "Leave Blank" for row 0, else the row's
    // code; no value for a row outside the table.
    std::optional<QString> storedValueForRow(int tag, int row) const;
    // The row that shows a stored value (row 0 for "" and "Leave Blank"), -1 when none does.
    int rowForValue(int tag, const QString& value) const;

private:
    QList<DropDownOptionTable> m_tables;
};
