#include "services/ExifWriterEditing.h"
#include "services/FieldTagTable.h"
#include "services/Utils.h"
#include "base/DatePattern.h"
#include "base/IsoDate.h"
#include "base/Logging.h"
#include "base/Numbers.h"
#include "model/DateTimeConfiguration.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QRegularExpression>
#include <QStringEncoder>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <string_view>

using namespace Qt::Literals::StringLiterals;
using namespace ExifWriterEditing;

namespace {

using F = MetadataField;

const QString kLeaveBlank = u"Leave Blank"_s;

constexpr const char* kIptcCharsetKey = "Iptc.Envelope.CharacterSet";
// ESC % G: the ISO 2022 escape that declares the IPTC texts UTF-8.
const std::string kIptcUtf8Charset = "\x1b%G";
constexpr std::uint16_t kEndOfDataSets = 0xffff;

// Texts of two values, with or without the NUL that closes an Ascii value.
bool sameValueText(std::string a, std::string b)
{
    while (!a.empty() && a.back() == '\0')
        a.pop_back();
    while (!b.empty() && b.back() == '\0')
        b.pop_back();
    return a == b;
}

std::string utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

bool isAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Reads the text into the value; only a complete read with at least one component
// counts, so that a text the tag's type cannot hold never leaves an empty tag.
bool readInto(Exiv2::Value& value, const std::string& text)
{
    return value.read(text) == 0 && value.count() > 0;
}

void warnUnwritable(const char* key, const QString& text)
{
    qCWarning(lcMetadata).noquote() << "Not written:" << key << "cannot hold" << text << "- the tag stays as it was";
}

// Puts the value under the key of an Exif, IPTC or XMP container: in place of the
// first datum with that key, or as a new one. A datum that already holds the same
// value stays untouched, so that writing a photo's own value back (a date kept as
// it was) changes nothing and lets exiv2 keep the Exif block as it is.
template <typename Data, typename Key> void putValue(Data& data, const Key& key, Exiv2::Value& value)
{
    const auto it = data.findKey(key);
    if (it == data.end()) {
        data.add(key, &value);
        return;
    }
    if (it->typeId() == value.typeId() && sameValueText(it->toString(), value.toString()))
        return;
    it->setValue(&value);
}

// ---- Exif ----

// The text in the tag's own type: Ascii tags take the UTF-8 bytes, numeric tags
// parse the number.
void setExifText(Exiv2::ExifData& exifData, const char* keyText, const QString& text)
{
    const Exiv2::ExifKey key(keyText);
    std::unique_ptr<Exiv2::Value> value(Exiv2::Value::create(key.defaultTypeId()).release());
    if (!readInto(*value, utf8(value->typeId() == Exiv2::asciiString ? text : text.trimmed()))) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(exifData, key, *value);
}

// "2.8", "0.004" or "1/250" as the exiv2 text of one unsigned rational.
std::optional<std::string> rationalInput(const QString& text)
{
    static const QRegularExpression fraction(u"^\\d{1,9}/[1-9]\\d{0,8}$"_s);
    const QString trimmed = text.trimmed();
    if (fraction.match(trimmed).hasMatch())
        return utf8(trimmed);
    const std::optional<double> number = Numbers::exactDouble(trimmed);
    if (!number || *number < 0 || *number > 2e9)
        return std::nullopt;
    return utf8(Numbers::rationalText(*number));
}

void setExifRational(Exiv2::ExifData& exifData, const char* keyText, const QString& text)
{
    Exiv2::URationalValue value;
    const std::optional<std::string> input = rationalInput(text);
    if (!input || !readInto(value, *input)) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(exifData, Exiv2::ExifKey(keyText), value);
}

// Plain ASCII goes as an Ascii comment; anything else as a Unicode comment in
// UTF-16 of the Exif data's own byte order, which holds every character (exiv2's
// own conversion to UCS-2 would refuse emoji).
void setUserComment(Exiv2::ExifData& exifData, Exiv2::ByteOrder byteOrder, const char* keyText, const QString& text)
{
    Exiv2::CommentValue value;
    if (isAscii(text)) {
        if (!readInto(value, "charset=Ascii " + utf8(text))) {
            warnUnwritable(keyText, text);
            return;
        }
    } else {
        const bool bigEndian = byteOrder == Exiv2::bigEndian;
        QStringEncoder utf16(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
        const QByteArray bytes = QByteArray("UNICODE\0", 8) + QByteArray(utf16.encode(text));
        value.read(reinterpret_cast<const Exiv2::byte*>(bytes.constData()), long(bytes.size()),
            bigEndian ? Exiv2::bigEndian : Exiv2::littleEndian);
    }
    putValue(exifData, Exiv2::ExifKey(keyText), value);
}

// ---- IPTC ----

// The largest number of bytes the dataset may hold; 0 when exiv2 gives no limit.
std::uint32_t iptcMaxBytes(const Exiv2::IptcKey& key)
{
    const Exiv2::DataSet* dataSet = key.record() == Exiv2::IptcDataSets::envelope
        ? Exiv2::IptcDataSets::envelopeRecordList()
        : Exiv2::IptcDataSets::application2RecordList();
    for (; dataSet->number_ != kEndOfDataSets; ++dataSet) {
        if (dataSet->number_ == key.tag())
            return dataSet->maxbytes_;
    }
    return 0;
}

// The UTF-8 bytes of the text, cut to at most maxBytes where a user-perceived
// character ends: a family emoji joined by zero-width joiners or a letter with its
// combining marks goes whole or not at all.
std::string utf8WithinBytes(const QString& text, std::uint32_t maxBytes)
{
    const QByteArray bytes = text.toUtf8();
    if (maxBytes == 0 || bytes.size() <= qsizetype(maxBytes))
        return bytes.toStdString();
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    for (qsizetype boundary = graphemes.toNextBoundary(); boundary > 0; boundary = graphemes.toNextBoundary()) {
        if (text.first(boundary).toUtf8().size() > qsizetype(maxBytes))
            break;
        kept = boundary;
    }
    return text.first(kept).toUtf8().toStdString();
}

// A text dataset takes the text cut to its limit; a date or time dataset its value
// as exiv2 reads it ("2024-01-02"), which exiv2 stores in the dataset's own bytes.
void setIptcText(Exiv2::IptcData& iptcData, const char* keyText, const QString& text)
{
    const Exiv2::IptcKey key(keyText);
    std::unique_ptr<Exiv2::Value> value(
        Exiv2::Value::create(Exiv2::IptcDataSets::dataSetType(key.tag(), key.record())).release());
    const bool isText = value->typeId() == Exiv2::string;
    if (!readInto(*value, isText ? utf8WithinBytes(text, iptcMaxBytes(key)) : utf8(text))) {
        warnUnwritable(keyText, text);
        return;
    }
    putValue(iptcData, key, *value);
}

// Each keyword once, trimmed, in the order given.
QStringList keywordsOf(const QString& text)
{
    QStringList keywords;
    for (const QString& part : text.split(u',')) {
        const QString keyword = part.trimmed();
        if (!keyword.isEmpty() && !keywords.contains(keyword))
            keywords.append(keyword);
    }
    return keywords;
}

void setKeywords(Exiv2::IptcData& iptcData, const char* keyText, const QString& text)
{
    ExifWriter::deleteKeysValuesFormIptcData(iptcData, QString::fromLatin1(keyText));
    const Exiv2::IptcKey key(keyText);
    const std::uint32_t maxBytes = iptcMaxBytes(key);
    for (const QString& keyword : keywordsOf(text)) {
        Exiv2::StringValue value(utf8WithinBytes(keyword, maxBytes));
        iptcData.add(key, &value);
    }
}

// Declares the IPTC texts UTF-8, turning any dataset that is not valid UTF-8
// (Latin-1, as older programs wrote) into UTF-8 first, so that the declaration
// holds for every dataset. A converted text can outgrow its dataset's limit; it
// is then cut where a character ends.
void declareIptcUtf8(Exiv2::IptcData& iptcData)
{
    for (Exiv2::Iptcdatum& datum : iptcData) {
        if (datum.typeId() != Exiv2::string || datum.key() == kIptcCharsetKey)
            continue;
        const std::string bytes = datum.toString();
        const QString decoded = FLTImageMetadata::textFromBytes(bytes);
        // A text that is UTF-8 already stays as stored, also one longer than
        // its dataset's limit: nobody asked to change it.
        if (utf8(decoded) == bytes)
            continue;
        const std::string text = utf8WithinBytes(decoded, iptcMaxBytes(Exiv2::IptcKey(datum.key())));
        if (text != utf8(decoded)) {
            qCInfo(lcMetadata).noquote() << "The IPTC dataset" << QString::fromStdString(datum.key())
                                         << "is cut to its limit after its conversion to UTF-8";
        }
        datum.setValue(text);
    }
    const Exiv2::IptcKey key(kIptcCharsetKey);
    Exiv2::StringValue charset(kIptcUtf8Charset);
    putValue(iptcData, key, charset);
}

// ---- XMP ----

void setXmpText(Exiv2::XmpData& xmpData, const char* keyText, const QString& text)
{
    Exiv2::XmpTextValue value(utf8(text));
    putValue(xmpData, Exiv2::XmpKey(keyText), value);
}

// XMP dates are ISO 8601: a record date in the Exif form becomes "yyyy-MM-ddTHH:mm:ss";
// any other text (an ISO date as read, with or without offset) stays.
QString xmpDateText(const QString& text)
{
    static const DatePattern exifForm(u"yyyy:MM:dd HH:mm:ss"_s);
    static const DatePattern isoForm(u"yyyy-MM-dd'T'HH:mm:ss"_s);
    if (const std::optional<QDateTime> date = exifForm.read(text))
        return isoForm.print(*date);
    return text;
}

// ---- The field passes of the editing modes 0 and 1 ----

// The text pass A sets a written field's tag to: the settings' text, but not an
// empty one, nor the "Leave Blank" label (its own pass erases those tags, which never
// hold the label), nor a text nobody edited that shows what the photo's own tag reads
// as: that is the photo's value, not a new one, and stays in its bytes. Read texts are
// not always exact (a rational as a rounded decimal, 1/60 as 0.016667), so writing
// one back would change the photo.
std::optional<QString> textSetBySettings(
    const FieldTagInfo& row, const MetaDataObject& settings, const MetaDataObject& held)
{
    const QString& text = settings.field(row.field);
    if (text.isEmpty() || (!settings.isUpdated(row.field) && text == held.field(row.field)))
        return std::nullopt;
    if (row.leaveBlankErases && text == kLeaveBlank)
        return std::nullopt;
    return text;
}

} // namespace

// The last pass over a field decides it: mode 1 erases what the edited fields leave
// empty (a raw file's make and model excepted), "Leave Blank" erases, a new text is
// set, an emptied edited field is erased; anything else keeps the photo's own tag.
ExifWriterEditing::FieldFate ExifWriterEditing::fieldFate(const FieldTagInfo& row, const MetaDataObject& settings,
    const MetaDataObject& onlyUpdated, const MetaDataObject& held, bool isRaw)
{
    if (settings.editingOption == MetaDataObject::ModifyEditedClearOthers && !(row.keptForRawFiles && isRaw)
        && onlyUpdated.field(row.field).isEmpty())
        return { FieldFate::Erase, {} };
    if (row.leaveBlankErases && settings.field(row.field) == kLeaveBlank)
        return { FieldFate::Erase, {} };
    if (std::optional<QString> text = textSetBySettings(row, settings, held))
        return { FieldFate::Set, std::move(*text) };
    if (settings.field(row.field).isEmpty() && settings.isUpdated(row.field))
        return { FieldFate::Erase, {} };
    return { FieldFate::Keep, {} };
}

namespace {

// The date of a text "yyyy", separator, "MM", separator, "dd", with exactly these
// digits; no value for any other text or a day that does not exist.
std::optional<QDate> fixedFormDate(const QString& text, QStringView separator)
{
    const qsizetype gap = separator.size();
    if (text.size() != 8 + 2 * gap || QStringView(text).mid(4, gap) != separator
        || QStringView(text).mid(6 + gap, gap) != separator)
        return std::nullopt;
    const auto digits = [&](qsizetype from, qsizetype count) {
        const QStringView part = QStringView(text).mid(from, count);
        return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }) ? part.toInt()
                                                                                                     : -1;
    };
    const QDate date(digits(0, 4), digits(4 + gap, 2), digits(6 + 2 * gap, 2));
    if (!date.isValid() || date.year() < 1)
        return std::nullopt;
    return date;
}

// The IPTC date of the text in the form exiv2 reads ("yyyy-MM-dd"), or no value.
std::optional<QString> iptcDateInput(const QString& text)
{
    std::optional<QDate> date = fixedFormDate(text, u"-");
    if (!date)
        date = fixedFormDate(text, u"");
    if (!date)
        return std::nullopt;
    return u"%1-%2-%3"_s.arg(date->year(), 4, 10, QChar(u'0'))
        .arg(date->month(), 2, 10, QChar(u'0'))
        .arg(date->day(), 2, 10, QChar(u'0'));
}

// Whether the text is a date the tag of a date row can hold (its DateForm).
bool isDateFor(const FieldTagInfo& row, const QString& text)
{
    static const DatePattern recordForm(u"yyyy:MM:dd HH:mm:ss"_s);
    switch (row.dateForm) {
    case DateForm::None:
        return true;
    case DateForm::ExifDateTime:
        return recordForm.read(text).has_value();
    case DateForm::XmpDate:
        return recordForm.read(text) || IsoDate::read(text);
    case DateForm::IptcDate:
        return iptcDateInput(text).has_value();
    case DateForm::ExifDate:
        return fixedFormDate(text, u":").has_value();
    }
    return false;
}

// What the date pass gives a date setting's field: its setting applied to the date
// the photo holds; empty for no date.
QString dateSetByPass(const DateSettingInfo& info, const MetaDataObject& settings, const MetaDataObject& held)
{
    return Utils::sharedUtils().getUpdatedOutputDateTimeStringWithConfig(
        *settings.dateTimeConfig(info.setting), held.field(info.field));
}

class FieldPasses {
public:
    FieldPasses(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& held, const MetaDataObject& settings,
        const MetaDataObject& onlyUpdated)
        : m_exif(image.exifData())
        , m_iptc(image.iptcData())
        , m_xmp(image.xmpData())
        , m_settings(settings)
        , m_onlyUpdated(onlyUpdated)
        , m_held(held)
        , m_isRaw(hasRawExtension(photo))
        // A file without Exif data gets it in little-endian order when written.
        , m_byteOrder(image.byteOrder() == Exiv2::invalidByteOrder ? Exiv2::littleEndian : image.byteOrder())
    {
    }

    // Runs the passes and answers the run status: 0, or 7 when a raw file's
    // make or model was kept; or why the photo is not to be written.
    EditOutcome run()
    {
        passOverSettings();
        datePass();
        leaveBlankPass();
        if (m_settings.editingOption == MetaDataObject::ModifyEditedClearOthers)
            passOverOnlyUpdated();
        alignXmpHemispheres();
        if (m_iptcWritten)
            declareIptcUtf8(m_iptc);
        EditOutcome outcome;
        outcome.status = m_status;
        outcome.refusal = m_refusal;
        outcome.warnings = m_warnings;
        outcome.changesExif = m_changesExif || changesExifDate();
        return outcome;
    }

private:
    // Pass A: every written field that no date setting decides gets its fate
    // (fieldFate, which also holds what the later passes would do to it). A date
    // field with a new text is set, an emptied, edited one erased, before the date
    // pass decides it.
    void passOverSettings()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (!row.isWritten())
                continue;
            if (!row.dateSetting) {
                applyFate(row, fieldFate(row, m_settings, m_onlyUpdated, m_held, m_isRaw));
                continue;
            }
            if (const std::optional<QString> text = textSetBySettings(row, m_settings, m_held)) {
                if (*text != m_held.field(row.field) && !isDateFor(row, *text)) {
                    // A date field shows its setting in words ("Shift time by +1 hour"):
                    // the date pass makes that change; the words are no value.
                    if (*text != m_settings.dateTimeConfig(*row.dateSetting)->summaryText())
                        refuseDate(row, *text);
                    continue;
                }
                setField(row, *text);
            } else if (m_settings.field(row.field).isEmpty() && m_settings.isUpdated(row.field)) {
                eraseField(row);
            }
        }
    }

    void applyFate(const FieldTagInfo& row, const FieldFate& fate)
    {
        if (fate.kind == FieldFate::Erase)
            eraseField(row);
        else if (fate.kind == FieldFate::Set && row.keptForRawFiles && m_isRaw)
            setRawCameraField(row, fate.text);
        else if (fate.kind == FieldFate::Set && fate.text != m_held.field(row.field) && !isDateFor(row, fate.text))
            refuseDate(row, fate.text);
        else if (fate.kind == FieldFate::Set)
            setField(row, fate.text);
    }

    // A raw file's make and model are only ever written back unchanged; any other
    // text leaves the file's own value and makes the status 7.
    void setRawCameraField(const FieldTagInfo& row, const QString& text)
    {
        QString fileValue;
        const auto it = m_exif.findKey(Exiv2::ExifKey(row.key));
        if (it != m_exif.end())
            fileValue = m_formatter.valueForExifMetadata(*it).valueText();
        if (fileValue == text)
            setField(row, text);
        else
            m_status = MetadataWriteResult::RawCameraKept;
    }

    // The date settings applied to the dates the file holds now decide what the
    // six date tags finally hold; an empty answer erases an edited field's tag. A
    // date the setting cannot read stays as the photo holds it, with a warning.
    void datePass()
    {
        for (const DateSettingInfo& info : kDateSettings) {
            const FieldTagInfo& row = fieldTagInfo(info.field);
            const QString& held = m_held.field(info.field);
            QString& text = m_dates[static_cast<std::size_t>(info.setting)];
            const std::optional<QString> answer
                = Utils::sharedUtils().updatedDateText(*m_settings.dateTimeConfig(info.setting), held,
                    row.dateForm == DateForm::XmpDate ? Utils::DateForms::ExifAndIso : Utils::DateForms::Exif);
            if (!answer)
                warnDateNotChanged(row, held);
            text = answer.value_or(held);
            // The photo's own text, kept or not shiftable, goes back as it was.
            if (!text.isEmpty() && text != held && !isDateFor(row, text))
                refuseDate(row, text);
            else if (!text.isEmpty())
                setField(row, text);
            else if (m_settings.isUpdated(info.field))
                eraseField(row);
        }
    }

    // A rule over an Exif date works on the date the block holds: one that changes
    // it needs the block read, also where it gives no date.
    bool changesExifDate() const
    {
        return std::any_of(kDateSettings.begin(), kDateSettings.end(), [this](const DateSettingInfo& info) {
            return tagFamily(fieldTagInfo(info.field).key) == TagFamily::Exif
                && m_settings.dateTimeConfig(info.setting)->option() != DateTimeConfiguration::KeepOriginal;
        });
    }

    // The fields pass A did not give their fate.
    static bool decidedByDatePass(const FieldTagInfo& row) { return !row.isWritten() || row.dateSetting; }

    // A date tag never takes a text that is not a date: the photo is refused.
    void refuseDate(const FieldTagInfo& row, const QString& text)
    {
        if (!m_refusal)
            m_refusal = u"%1 cannot take \"%2\": it is not a date. The photo was not changed."_s.arg(
                QString::fromLatin1(row.key), text);
    }

    // A date its setting cannot be applied to (a text in no form the tag's dates
    // take, or a result outside the years 1 to 9999) is no reason to refuse the
    // other changes, but the photo must not count as done as asked.
    void warnDateNotChanged(const FieldTagInfo& row, const QString& text)
    {
        const QString warning
            = u"%1 holds \"%2\", which is not a date its setting can change: it was kept as it was."_s.arg(
                QString::fromLatin1(row.key), text);
        qCWarning(lcMetadata).noquote() << "Date not changed:" << warning;
        m_warnings.append(warning);
    }

    void leaveBlankPass()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (decidedByDatePass(row) && row.leaveBlankErases && m_settings.field(row.field) == kLeaveBlank)
                eraseField(row);
        }
    }

    // Pass B of mode 1, over the date fields (the others' fate holds it): what the
    // edited-fields-only record leaves empty goes, except a date its setting has
    // just produced. A raw file's make and model are kept.
    void passOverOnlyUpdated()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (!row.isWritten())
                continue;
            if (row.keptForRawFiles && m_isRaw) {
                m_status = MetadataWriteResult::RawCameraKept;
                continue;
            }
            if (row.dateSetting && !m_dates[static_cast<std::size_t>(*row.dateSetting)].isEmpty())
                continue;
            if (decidedByDatePass(row) && m_onlyUpdated.field(row.field).isEmpty())
                eraseField(row);
        }
    }

    void setField(const FieldTagInfo& row, const QString& text)
    {
        m_touched[fieldIndex(row.field)] = true;
        // The photo's own text written back changes nothing.
        m_changesExif = m_changesExif
            || (row.writeForm != WriteForm::None && tagFamily(row.key) == TagFamily::Exif
                && text != m_held.field(row.field));
        switch (row.writeForm) {
        case WriteForm::None:
            return;
        case WriteForm::Text:
            switch (tagFamily(row.key)) {
            case TagFamily::Exif:
                setExifText(m_exif, row.key, text);
                return;
            case TagFamily::Iptc:
                setIptcText(
                    m_iptc, row.key, row.dateForm == DateForm::IptcDate ? iptcDateInput(text).value_or(text) : text);
                m_iptcWritten = true;
                return;
            case TagFamily::Xmp:
                // Dates go as ISO 8601, but one that the file holds as it stands
                // stays in the file's own form.
                setXmpText(m_xmp, row.key, row.dateSetting && !holdsXmpText(row.key, text) ? xmpDateText(text) : text);
                return;
            case TagFamily::None:
                return;
            }
            return;
        case WriteForm::Rational:
            setExifRational(m_exif, row.key, text);
            return;
        case WriteForm::Comment:
            setUserComment(m_exif, m_byteOrder, row.key, text);
            return;
        case WriteForm::Keywords:
            setKeywords(m_iptc, row.key, text);
            m_iptcWritten = true;
            return;
        case WriteForm::GpsCoordinate:
            setGpsCoordinate(row, text);
            return;
        }
    }

    bool holdsXmpText(const char* key, const QString& text) const
    {
        const auto it = m_xmp.findKey(Exiv2::XmpKey(key));
        return it != m_xmp.end() && QString::fromStdString(it->toString()) == text;
    }

    // The Exif tag holds the magnitude as degrees, minutes and seconds (the
    // hemisphere is the reference field's); the XMP copy carries one sign.
    void setGpsCoordinate(const FieldTagInfo& row, const QString& text)
    {
        const std::optional<double> number = Numbers::exactDouble(text);
        Exiv2::URationalValue value;
        if (!number || std::abs(*number) > 180.0 || !readInto(value, utf8(Numbers::degreesText(*number)))) {
            warnUnwritable(row.key, text);
            return;
        }
        putValue(m_exif, Exiv2::ExifKey(row.key), value);

        const double magnitude = std::abs(*number);
        const QString reference = row.referenceField ? m_settings.field(*row.referenceField).toUpper() : QString();
        const bool negative = *number < 0 || reference == QChar::fromLatin1(row.negativeReference);
        const QString xmpText = (negative && magnitude > 0 ? u"-"_s : QString()) + Numbers::shortest(magnitude);
        setXmpText(m_xmp, row.xmpKey, xmpText);
    }

    // The XMP copy of a position whose coordinate or reference this run wrote takes
    // its sign from the Exif reference as the passes finally leave it: one kept
    // from the photo (the form showed several), erased as "Leave Blank" or cleared
    // in mode 1. A copy that already agrees keeps its bytes.
    void alignXmpHemispheres()
    {
        for (const FieldTagInfo& row : fieldTagTable()) {
            if (row.writeForm != WriteForm::GpsCoordinate || !row.referenceField)
                continue;
            const FieldTagInfo& reference = fieldTagInfo(*row.referenceField);
            if (!m_touched[fieldIndex(row.field)] && !m_touched[fieldIndex(reference.field)])
                continue;
            const auto xmp = m_xmp.findKey(Exiv2::XmpKey(row.xmpKey));
            if (xmp == m_xmp.end() || m_exif.findKey(Exiv2::ExifKey(row.key)) == m_exif.end())
                continue;
            const std::optional<double> xmpValue
                = Numbers::exactDouble(ExifWriter::xmpCoordinateText(QString::fromStdString(xmp->toString())));
            if (!xmpValue || *xmpValue == 0)
                continue;
            const auto letter = m_exif.findKey(Exiv2::ExifKey(reference.key));
            const bool negative = letter != m_exif.end()
                && QString::fromStdString(letter->toString()).remove(QChar(0)).trimmed().toUpper()
                    == QChar::fromLatin1(row.negativeReference);
            if (negative != (*xmpValue < 0))
                setXmpText(m_xmp, row.xmpKey, (negative ? u"-"_s : QString()) + Numbers::shortest(std::abs(*xmpValue)));
        }
    }

    void eraseField(const FieldTagInfo& row)
    {
        m_touched[fieldIndex(row.field)] = true;
        m_changesExif = m_changesExif || tagFamily(row.key) == TagFamily::Exif;
        const QString key = QString::fromLatin1(row.key);
        switch (tagFamily(row.key)) {
        case TagFamily::Exif:
            ExifWriter::deleteKeysValuesFormExifData(m_exif, key);
            break;
        case TagFamily::Iptc:
            ExifWriter::deleteKeysValuesFormIptcData(m_iptc, key);
            break;
        case TagFamily::Xmp:
            ExifWriter::deleteKeysValuesFormXmpData(m_xmp, key);
            break;
        case TagFamily::None:
            break;
        }
        if (row.xmpKey != nullptr)
            ExifWriter::deleteKeysValuesFormXmpData(m_xmp, QString::fromLatin1(row.xmpKey));
    }

    Exiv2::ExifData& m_exif;
    Exiv2::IptcData& m_iptc;
    Exiv2::XmpData& m_xmp;
    const MetaDataObject& m_settings;
    const MetaDataObject& m_onlyUpdated;
    // The file's own record as it stands before this edit.
    const MetaDataObject& m_held;
    const bool m_isRaw;
    const Exiv2::ByteOrder m_byteOrder;
    FLTImageMetadata m_formatter;
    int m_status = MetadataWriteResult::Processed;
    bool m_iptcWritten = false;
    // Whether the passes set or erased an Exif tag, or a rule changes an Exif date.
    bool m_changesExif = false;
    std::optional<QString> m_refusal;
    QStringList m_warnings;
    // The date pass's answer for each date setting.
    std::array<QString, kDateSettingCount> m_dates;
    // The fields whose tags this run set or erased.
    std::array<bool, kMetadataFieldCount> m_touched {};
};

} // namespace

namespace ExifWriterEditing {

bool hasRawExtension(const PhotoFile& photo)
{
    const std::string extension = photo.fileExtension.toUpper().toStdString();
    return std::find(kRawCameraExtensions.begin(), kRawCameraExtensions.end(), extension) != kRawCameraExtensions.end();
}

EditOutcome runFieldPasses(Exiv2::Image& image, const PhotoFile& photo, const MetaDataObject& held,
    const MetaDataObject& settings, const MetaDataObject& onlyUpdated)
{
    return FieldPasses(image, photo, held, settings, onlyUpdated).run();
}

} // namespace ExifWriterEditing

bool ExifWriter::editSetsIptc(const MetaDataObject& settings, const MetaDataObject& held)
{
    if (settings.editingOption == MetaDataObject::CleanMetadataInfo)
        return false;
    const auto isIptc = [](const FieldTagInfo& row) { return row.isWritten() && tagFamily(row.key) == TagFamily::Iptc; };
    for (const FieldTagInfo& row : fieldTagTable()) {
        if (isIptc(row) && textSetBySettings(row, settings, held))
            return true;
    }
    return std::any_of(kDateSettings.begin(), kDateSettings.end(), [&](const DateSettingInfo& info) {
        return isIptc(fieldTagInfo(info.field)) && !dateSetByPass(info, settings, held).isEmpty();
    });
}
