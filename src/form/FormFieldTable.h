#pragma once

#include "model/MetadataFields.h"

#include <QList>
#include <QString>
#include <array>

// The tabs of the metadata form, in the order of the segmented control.
enum class FormTab : int { General = 0, DateTime, Gps, Camera, IPTC, Xmp, ClearOptions };
inline constexpr int kFormTabCount = 7;

// How a field is edited, and so which control the form makes for it.
enum class FieldKind {
    Line, // a single-line text field
    TextView, // a multi-line text view
    DropDown, // read-only text that opens the field's drop-down list
    Date, // read-only text that opens the date panel
    Integer, // a single-line field that takes whole numbers only
    Decimal, // a single-line field that takes decimal numbers (or fractions)
    CheckBox, // check boxes that are never set by code (components configuration)
};

// Which placeholder rule the form fill applies to an empty field.
enum class PlaceholderRule {
    None, // never a placeholder
    Both, // "Multiple values" when photos differ, nothing when all are empty
    Label, // a text view with a label laid over it (shown when photos differ)
    View, // a text view whose placeholder only empties
};

// How the fill shows the stored text.
enum class DisplayForm {
    Text, // as stored
    Label, // the drop-down label of the stored code
    Date, // a record or XMP date shown as "MMM dd,yyyy hh:mm:ss a"
    IptcDate, // "yyyyMMdd" shown as "MMM dd,yyyy"
    NotShown,
};

// What number a field must hold (see FieldValidation).
enum class NumberClass { None, Whole, Decimal, SignedCoordinate };

// One field of the form: everything a widget needs to make, name, fill and check its control.
struct FormField {
    MetadataField field;
    QString name; // the record's property name
    FormTab tab;
    QString label; // the text shown beside the control
    FieldKind kind;
    int dropDownTag = -1; // 0 to 14 for drop-down fields
    bool merged = true; // the selection merge carries it; the others are display-only
    bool written = true; // a write puts it into the photo (from the field-to-tag table)
    bool editable = true; // the user can change it (by typing, a list, the date panel)
    bool outlined = true; // its box shows the edited outline (four editable fields have none)
    PlaceholderRule placeholder = PlaceholderRule::Both;
    DisplayForm shownAs = DisplayForm::Text;
    NumberClass numberClass = NumberClass::None;
    QString objectName; // "txt" + name, or the text view's name
    QString errorLabelName; // objectName + "_error" for checked fields, else ""
    QString placeholderLabelName; // the label over a text view, else ""
};

// A check box of the "Clean Metadata info" tab.
struct ClearBox {
    ClearFlag flag;
    QString objectName; // "checkClearExif" ...
    QString label;
};

struct FormTabInfo {
    FormTab tab;
    QString objectName; // "vwGeneralTab" ...
    QString title;
};

// The form as a table, derived from the record's one field table: one entry per
// field in declaration order, never a second hand-written list.
class FormFieldTable {
public:
    static const FormFieldTable& sharedTable();

    const QList<FormField>& fields() const { return m_fields; }
    const FormField& field(MetadataField f) const { return m_fields[static_cast<int>(fieldIndex(f))]; }
    // The fields of one tab, in declaration order.
    QList<const FormField*> fieldsOnTab(FormTab tab) const;
    // The field that drop-down tag 0 to 14 fills, or nullptr.
    const FormField* fieldForDropDownTag(int tag) const;

    static const QList<FormTabInfo>& tabs();
    // The panel a metadata option index shows: 0 the Exif fields (the General tab),
    // 1 the IPTC fields, any other the clean options.
    static FormTab tabForMetaDataOption(int selectedMetaDataOptionIndex);
    static const QList<ClearBox>& clearBoxes();
    // "checkCompConfig1" to "checkCompConfig7".
    static QStringList componentsConfigurationBoxes();

    // The labels of the editing modes 0, 1 and 2.
    static QString editingOptionText(int editingOption);
    static QStringList editingOptionTexts();

    // The number of drop-down tables.
    static constexpr int kDropDownTagCount = 15;

private:
    FormFieldTable();
    QList<FormField> m_fields;
    std::array<int, kDropDownTagCount> m_dropDownFields {};
};
