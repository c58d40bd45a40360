#pragma once

#include <QString>
#include <array>
#include <optional>

// The renaming options of one batch run, as the output options panel sets them.
// Plain values: the panel fills a fresh record, the batch start keeps one copy for
// the whole run and the output path builder reads it. A tick or choice is an int
// because the panel stores 0/1 states; only 1 means "on".

// A custom base name that replaces the photo's own.
struct ReplaceFilename {
    QString customNameValue;
};

// Text put before and after the name; either may be empty.
struct AddString {
    QString addStringPrefixValue;
    QString addStringSuffixValue;
};

// A date of the photo's metadata put into the name.
struct AddEXIFDateTime {
    enum Position : int { Before = 0, After = 1 };
    enum DateType : int { OriginalDate = 0, CreationDate = 1, ModifyDate = 2 };

    int asValue = Before; // any other value adds no date text
    int typeValue = OriginalDate; // 0 original, 2 modify, anything else creation
    int formatValue = 0; // index into OutputNameDateFormats; outside 0-19 adds no date text
};

// Place names of the photo's GPS position put into the name. The text is always
// assembled in the order place, city, state, country, whatever the ticks.
struct AddEXIFLocation {
    int placeTick = 1;
    int cityTick = 1;
    int countryTick = 1;
    int stateTick = 1;
    // Carried for the panel; names are never built from them.
    QString locationPlaceValue;
    QString locationStateValue;
    QString locationCityValue;
    QString locationCountryValue;
    QString locationDetailFull; // the panel's sample text, e.g. "{Place}_{City}_{State}_{Country}"
};

// The pixel size appended to the name; the size itself comes from the photo.
struct AppendWidthHeight {
    QString widthHeightValue; // the panel's sample text
};

// The date formats offered for the date token: the name the panel shows and the
// date pattern the name is printed with.
struct OutputNameDateFormat {
    const char* name;
    const char* pattern;
};

class OutputNameDateFormats {
public:
    static constexpr int kCount = 20;
    static const std::array<OutputNameDateFormat, kCount> kFormats;

    // The pattern of an index, or nothing for an index outside 0-19.
    static std::optional<QString> patternAt(int index);
};

class OutputRenamingOptions {
public:
    // Renaming off, every tick off, outputs into the user's Pictures/Velloran folder.
    OutputRenamingOptions();

    // The default output folder: "Velloran" inside the user's pictures folder.
    static QString defaultOutputFolder();

    int renamingOptionIndex = 0; // 1 renames with the tokens below; anything else keeps each name
    int addStringCheck = 0;
    int addEXIFDateTimeCheck = 0;
    int addEXIFLocationCheck = 0;
    int appendWidthHeightCheck = 0;
    int replaceFilenameCheck = 0;
    int editOptionSelect = 0; // carried for the panel; nothing reads it
    int sourseFolderSelected = 0; // 1 writes each output beside its source
    AddEXIFDateTime addEXIFDateTime;
    AddEXIFLocation addEXIFLocation;
    AppendWidthHeight appendWidthHeight;
    ReplaceFilename replaceFilename;
    AddString addString;
    QString ouptputFolderPathName; // absolute, without a trailing slash

    // Renaming is on and at least one token is ticked.
    bool isRenamingInForce() const;
    // The new names carry place names, which ask a geocoder about each position.
    bool namesPlaces() const { return renamingOptionIndex == 1 && addEXIFLocationCheck == 1; }
};
