#include "form/FormFieldTable.h"

#include "services/FieldTagTable.h"
#include "form/FieldValidation.h"

#include <QHash>
#include <algorithm>

namespace {

QString nameOf(const MetadataFieldInfo& info)
{
    return QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size()));
}

bool isDateField(MetadataField field)
{
    for (const DateSettingInfo& info : kDateSettings) {
        if (info.field == field)
            return true;
    }
    return false;
}

// "CamSetting_FocalLengthIn35mmFormat" gives "Focal Length In 35mm Format": the
// group prefix goes, words split where a capital follows a small letter or a digit
// follows a letter, and the record's abbreviations and misspellings are spelled out.
QString labelFor(const MetadataFieldInfo& info)
{
    QString name = nameOf(info);
    const qsizetype underscore = name.indexOf(u'_');
    if (underscore >= 0)
        name = name.mid(underscore + 1);

    QStringList words;
    QString word;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const QChar previous = i > 0 ? name[i - 1] : QChar();
        const QChar next = i + 1 < name.size() ? name[i + 1] : QChar();
        const bool startsWord = !word.isEmpty()
            && ((c.isUpper() && (previous.isLower() || previous.isDigit() || (previous.isUpper() && next.isLower())))
                || (c.isDigit() && previous.isLetter()));
        if (startsWord) {
            words << word;
            word.clear();
        }
        word += c;
    }
    if (!word.isEmpty())
        words << word;

    static const QHash<QString, QString> spelled = {
        { QStringLiteral("Lattitude"), QStringLiteral("Latitude") },
        { QStringLiteral("Matering"), QStringLiteral("Metering") },
        { QStringLiteral("Img"), QStringLiteral("Image") },
        { QStringLiteral("Ref"), QStringLiteral("Reference") },
    };
    for (QString& w : words)
        w = spelled.value(w, w);
    if (info.group == FieldGroup::Date)
        words << QStringLiteral("Date");
    if (info.group == FieldGroup::Cam)
        words.prepend(QStringLiteral("Camera"));
    return words.join(u' ');
}

FormTab tabFor(const MetadataFieldInfo& info)
{
    if (isDateField(info.field))
        return FormTab::DateTime;
    switch (info.group) {
    case FieldGroup::General:
        return FormTab::General;
    case FieldGroup::Date:
        return FormTab::DateTime;
    case FieldGroup::GPS:
        return FormTab::Gps;
    case FieldGroup::IPTC:
        return FormTab::IPTC;
    case FieldGroup::XMP:
        return FormTab::Xmp;
    case FieldGroup::Cam:
    case FieldGroup::CamSetting:
    case FieldGroup::AdvCamSetting:
    case FieldGroup::Lens:
    case FieldGroup::DimResolution:
        break;
    }
    return FormTab::Camera;
}

struct TextViewNames {
    MetadataField field;
    const char* objectName;
    const char* placeholderLabel; // nullptr: the view has none
};

// The three multi-line fields and the names their controls carry.
constexpr std::array<TextViewNames, 3> kTextViews = { {
    { MetadataField::UserComment, "txtvwUserCmt", "lblPlaceholder_TxtvwUserComment" },
    { MetadataField::IPTC_Keywords, "txtvwIPTC_Keywords", "lblPlaceholder_TxtvwIpctKeywords" },
    { MetadataField::XMP_Keyword, "txtvwXMP_Keywords", nullptr },
} };

} // namespace

FormFieldTable::FormFieldTable()
{
    m_dropDownFields.fill(-1);
    int nextTag = 0;
    for (const MetadataFieldInfo& info : kMetadataFields) {
        FormField f;
        f.field = info.field;
        f.name = nameOf(info);
        f.tab = tabFor(info);
        f.label = labelFor(info);
        // The XMP dates share their tab with the Exif dates of the same names.
        if (info.group == FieldGroup::XMP && f.tab == FormTab::DateTime)
            f.label.prepend(QStringLiteral("XMP "));
        f.objectName = QStringLiteral("txt") + f.name;
        // Pixel sizes, resolutions and the GPS date stamp describe each photo on
        // its own: the form shows them but never merges or edits them.
        f.merged = info.group != FieldGroup::DimResolution && info.field != MetadataField::GPS_DateStamp;
        f.numberClass = FieldValidation::numberClass(info.field);

        if (info.isDropDown) {
            f.kind = FieldKind::DropDown;
            f.dropDownTag = nextTag;
            m_dropDownFields[static_cast<std::size_t>(nextTag)] = m_fields.size();
            ++nextTag;
            f.shownAs = DisplayForm::Label;
        } else if (isDateField(info.field)) {
            f.kind = FieldKind::Date;
            f.shownAs = DisplayForm::Date;
        } else if (info.field == MetadataField::AdvCamSetting_ComponentsConfiguration) {
            f.kind = FieldKind::CheckBox;
            f.shownAs = DisplayForm::NotShown;
            f.placeholder = PlaceholderRule::None;
            f.objectName = QStringLiteral("checkCompConfig");
        } else if (f.numberClass == NumberClass::Whole) {
            f.kind = FieldKind::Integer;
        } else if (f.numberClass != NumberClass::None) {
            f.kind = FieldKind::Decimal;
        } else {
            f.kind = FieldKind::Line;
        }
        if (info.field == MetadataField::IPTC_DateCreated)
            f.shownAs = DisplayForm::IptcDate;

        for (const TextViewNames& view : kTextViews) {
            if (view.field != info.field)
                continue;
            f.kind = FieldKind::TextView;
            f.objectName = QString::fromLatin1(view.objectName);
            if (view.placeholderLabel) {
                f.placeholderLabelName = QString::fromLatin1(view.placeholderLabel);
                f.placeholder = PlaceholderRule::Label;
            } else {
                f.placeholder = PlaceholderRule::View;
            }
        }
        if (!f.merged) {
            f.editable = false;
            f.placeholder = PlaceholderRule::None;
        }
        // A value typed into a field that no write puts into the photo would be
        // reported as written and silently lost; the record still carries it.
        f.written = fieldTagInfo(info.field).isWritten();
        if (!f.written)
            f.editable = false;
        // The contact, the IPTC date and the image direction carry no edited outline.
        static constexpr MetadataField kNotOutlined[] = { MetadataField::IPTC_Contact, MetadataField::IPTC_DateCreated,
            MetadataField::GPS_ImgDirection, MetadataField::GPS_ImgDirectionRef };
        f.outlined = f.editable && std::find(std::begin(kNotOutlined), std::end(kNotOutlined), info.field) == std::end(kNotOutlined);
        if (FieldValidation::isChecked(info.field))
            f.errorLabelName = f.objectName + QStringLiteral("_error");
        m_fields.append(f);
    }
    Q_ASSERT(nextTag == kDropDownTagCount);
}

const FormFieldTable& FormFieldTable::sharedTable()
{
    static const FormFieldTable table;
    return table;
}

QList<const FormField*> FormFieldTable::fieldsOnTab(FormTab tab) const
{
    QList<const FormField*> result;
    for (const FormField& f : m_fields) {
        if (f.tab == tab)
            result.append(&f);
    }
    return result;
}

const FormField* FormFieldTable::fieldForDropDownTag(int tag) const
{
    if (tag < 0 || tag >= kDropDownTagCount)
        return nullptr;
    return &m_fields[m_dropDownFields[static_cast<std::size_t>(tag)]];
}

const QList<FormTabInfo>& FormFieldTable::tabs()
{
    static const QList<FormTabInfo> list = {
        { FormTab::General, QStringLiteral("vwGeneralTab"), QStringLiteral("General") },
        { FormTab::DateTime, QStringLiteral("vwDateTimeTab"), QStringLiteral("Date & Time") },
        { FormTab::Gps, QStringLiteral("vwGpsTab"), QStringLiteral("GPS") },
        { FormTab::Camera, QStringLiteral("vwCameraTab"), QStringLiteral("Camera") },
        { FormTab::IPTC, QStringLiteral("vwIPTCTab"), QStringLiteral("IPTC") },
        { FormTab::Xmp, QStringLiteral("vwXmpTab"), QStringLiteral("XMP") },
        { FormTab::ClearOptions, QStringLiteral("vwClearOptions"), QStringLiteral("Clean") },
    };
    return list;
}

const QList<ClearBox>& FormFieldTable::clearBoxes()
{
    static const QList<ClearBox> list = {
        { ClearFlag::Exif, QStringLiteral("checkClearExif"), QStringLiteral("Exif") },
        { ClearFlag::IPTC, QStringLiteral("checkClearIptc"), QStringLiteral("IPTC") },
        { ClearFlag::XMP, QStringLiteral("checkClearXmp"), QStringLiteral("XMP") },
        { ClearFlag::GpsInfo, QStringLiteral("checkClearGps"), QStringLiteral("GPS info") },
        { ClearFlag::Comment, QStringLiteral("checkClearComment"), QStringLiteral("Comment") },
    };
    return list;
}

QStringList FormFieldTable::componentsConfigurationBoxes()
{
    QStringList names;
    for (int i = 1; i <= 7; ++i)
        names << QStringLiteral("checkCompConfig%1").arg(i);
    return names;
}

QString FormFieldTable::editingOptionText(int editingOption)
{
    const QStringList texts = editingOptionTexts();
    return editingOption >= 0 && editingOption < texts.size() ? texts[editingOption] : QString();
}

QStringList FormFieldTable::editingOptionTexts()
{
    return {
        QStringLiteral("Only modify fields that I edit and keep others as it is"),
        QStringLiteral("Modify fields that I edit and clear others"),
        QStringLiteral("Clean Metadata info"),
    };
}

FormTab FormFieldTable::tabForMetaDataOption(int selectedMetaDataOptionIndex)
{
    switch (selectedMetaDataOptionIndex) {
    case 0:
        return FormTab::General;
    case 1:
        return FormTab::IPTC;
    default:
        return FormTab::ClearOptions;
    }
}
