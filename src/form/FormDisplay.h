#pragma once

#include "form/FormFieldTable.h"

#include <QString>
#include <bitset>

class DropDownTables;
class MetaDataObject;

// Which empty fields tell the user that the ticked photos differ.
struct PlaceholderState {
    // Per field: show "Multiple values" (as the placeholder of a line, or as the
    // label over a text view).
    std::bitset<kMetadataFieldCount> multipleValues;

    bool showsMultipleValues(MetadataField field) const { return multipleValues[fieldIndex(field)]; }
    // The placeholder text of a line field.
    QString placeholderText(MetadataField field) const;
};

// What the form's controls show for a record: each field's text, placeholders and
// the editing-mode text. Widgets put these texts into their controls and nothing more.
class FormDisplay {
public:
    static const QString kMultipleValues; // "Multiple values"

    // updateTextFieldsValues: the text a field's control shows for the record:
    // the stored text, the drop-down label of its code, or a date in display form.
    static QString displayText(const FormField& field, const MetaDataObject& record, const DropDownTables& tables);

    // highlightBorder: a field the record marks edited is outlined, where its box has an outline.
    static bool isHighlighted(const FormField& field, const MetaDataObject& record);

    // A record or XMP date as "MMM dd,yyyy hh:mm:ss a" ("May 04,2019 10:11:12 AM").
    // An XMP date ("2019-05-04T10:11:12") reads like a record date once its "T" and
    // "-" are made a blank and colons. A text that then still does not read (a zone,
    // a fraction, a date without time) shows in that normalised form, its zone as
    // it stands: "2019:05:04 10:11:12-08:00".
    static QString dateText(const QString& stored);
    // An IPTC date ("20190504", or "2019-05-04" as the reader gives it) as
    // "MMM dd,yyyy"; "" for anything else.
    static QString iptcDateText(const QString& stored);

    // setTextfiledsPlaceholder: with two or more ticked photos, an empty field that
    // some photo holds a value in, and that the form record does not mark edited,
    // shows "Multiple values". hasValue says which fields any ticked photo fills.
    static PlaceholderState placeholders(
        int photoCount, const std::bitset<kMetadataFieldCount>& hasValue, const MetaDataObject& form);
};
