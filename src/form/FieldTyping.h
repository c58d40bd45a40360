#pragma once

#include "model/MetadataFields.h"

#include <QString>
#include <optional>

// What a change of a text view becomes: refused, or accepted with the text to
// insert (which may be a cut-down paste).
struct TextViewChange {
    bool accepted = false;
    QString insertion;
};

// The result of typing into a date-shift field: what the field shows, the value it
// stands for (also its stepper's), and whether it is a lone "-" still being typed.
struct IncDecText {
    QString text;
    int value = 0;
    bool isLoneMinus = false;
};

// The keystroke rules of the form: length limits and character filters. Lengths are
// counted in UTF-16 units, as the text controls count them, and every cut ends at
// a character boundary: never inside a surrogate pair, never between a base letter
// and its combining marks.
class FieldTyping {
public:
    static constexpr int kFieldLimit = 150; // single-line fields and the custom name
    static constexpr int kAffixLimit = 50; // renaming prefix and suffix
    static constexpr int kTextViewLimit = 10000; // multi-line views

    // The longest start of the text, at most limit units long, that ends at a
    // character boundary.
    static QString cutAtCharacterBoundary(const QString& text, int limit);

    // A stored field's text as typed or pasted: cut to 150.
    static QString fieldText(const QString& text);
    // The text stored for a typed IPTC date: a date the form shows ("May 04,2019")
    // or IPTC's "20190504" becomes "2019-05-04", the form that the reader gives
    // and the writer stores; any other text stays as typed (and its check fails).
    static QString iptcDateText(const QString& typed);
    // The text stored for a typed field (the IPTC date converted, others as they are).
    static QString storedText(MetadataField field, const QString& typed);

    // The renaming prefix or suffix: cut to 50, then without " " and "/" (a "/"
    // would make a folder in the output name).
    static QString renamingAffixText(const QString& text);
    // The custom file name: cut to 150, without "/", without leading spaces (a
    // text of spaces only becomes empty).
    static QString customNameText(const QString& text);

    // A change of a multi-line view whose text has currentLength units: replacing
    // replacedLength units by insertion. A change that does not make the text
    // longer is always accepted, so an over-long text can still be shortened; a
    // longer one is accepted up to the limit, the insertion cut to what fits, and
    // refused only when nothing of it fits.
    static TextViewChange textViewChange(int currentLength, int replacedLength, const QString& insertion);

    // The integer formatter: "" is accepted; otherwise the whole text must be one
    // integer (optional sign, digits, nothing else) no greater than maximum, and not
    // 0 unless allowZero.
    static bool integerFormatterAccepts(const QString& text, int maximum, bool allowZero);
    // The formatter limits of a whole-number field: 9999999, and 0 allowed for
    // white balance, saturation and sharpness, where Exif's 0 means auto or normal.
    static int integerFormatterMaximum() { return 9999999; }
    static bool integerFormatterAllowsZero(MetadataField field);

    // The decimal filter: "" or a number being typed: digits with at most one "."
    // or ",", a leading "-" where the field takes a sign (GPS and XMP coordinates),
    // and "n/d" fractions where the field is written as a fraction.
    static bool decimalFilterAccepts(MetadataField field, const QString& text);

    // A date-shift field after a keystroke: only "-+0123456789" kept, only a leading
    // "-" kept, the value clamped to [minimum, maximum] and shown as a plain integer
    // ("+5" shows 5, "" shows 0); a lone "-" stays as typed.
    static IncDecText incDecText(const QString& typed, int minimum, int maximum);
    // The same field when it loses the focus: a lone "-" or "" becomes 0.
    static IncDecText incDecTextOnEndEditing(const QString& text, int minimum, int maximum);
};
