#pragma once

#include "batch/naming/OutputRenamingOptions.h"

#include <QString>

// The output choices of the first output page, before renaming came: folder, name,
// format, quality and which place names to use. The page's set-up still makes one
// with these defaults; the run and the path builder read OutputRenamingOptions.
struct OutputFileSetting {
    QString dateString;
    QString outputFolderPath;
    int outputFileName = 0;
    int outputFormat = 0;
    int outputFolderOption = 0;
    int outputFormatExtentionType = 0;
    int outputFormatConpressionQuality = 75; // percent
    QString outputFileNamePrefixValue;
    QString ouptputFolder = OutputRenamingOptions::defaultOutputFolder();
    int sourceFolderSelected = 0;
    int dateTypeValue = 0;
    int dateFormatValue = 0;
    int nameSave = 1;
    int citySave = 1;
    int countrySave = 1;
    double LatitudeValue = 0;
    double LongitudeValue = 0;
};
