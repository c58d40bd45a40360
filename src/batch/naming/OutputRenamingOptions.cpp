#include "batch/naming/OutputRenamingOptions.h"

#include <QStandardPaths>

const std::array<OutputNameDateFormat, OutputNameDateFormats::kCount> OutputNameDateFormats::kFormats = { {
    { "DDMMYYYY", "ddMMyyyy" },
    { "DDMMYYYY_HHMM", "ddMMyyyy_HHmm" },
    { "DDMMYYYY_HH-MM", "ddMMyyyy_HH-mm" },
    { "DDMMYYYY_HHMMSS", "ddMMyyyy_HHmmss" },
    { "DDMMYYYY_HH-MM-SS", "ddMMyyyy_HH-mm-ss" },
    { "DD-MM-YYYY", "dd-MM-yyyy" },
    { "DD-MM-YYYY_HHMM", "dd-MM-yyyy_HHmm" },
    { "DD-MM-YYYY_HH-MM", "dd-MM-yyyy_HH-mm" },
    { "DD-MM-YYYY_HHMMSS", "dd-MM-yyyy_HHmmss" },
    { "DD-MM-YYYY_HH-MM-SS", "dd-MM-yyyy_HH-mm-ss" },
    { "MM-DD-YYYY", "MM-dd-yyyy" },
    { "MM-DD-YYYY_HHMM", "MM-dd-yyyy_HHmm" },
    { "MM-DD-YYYY_HH-MM", "MM-dd-yyyy_HH-mm" },
    { "MM-DD-YYYY_HHMMSS", "MM-dd-yyyy_HHmmss" },
    { "MM-DD-YYYY_HH-MM-SS", "MM-dd-yyyy_HH-mm-ss" },
    { "YYYY-MM-DD", "yyyy-MM-dd" },
    { "YYYY-MM-DD_HHMM", "yyyy-MM-dd_HHmm" },
    { "YYYY-MM-DD_HH-MM", "yyyy-MM-dd_HH-mm" },
    { "YYYY-MM-DD_HHMMSS", "yyyy-MM-dd_HHmmss" },
    { "YYYY-MM-DD_HH-MM-SS", "yyyy-MM-dd_HH-mm-ss" },
} };

std::optional<QString> OutputNameDateFormats::patternAt(int index)
{
    if (index < 0 || index >= kCount)
        return std::nullopt;
    return QString::fromLatin1(kFormats[static_cast<std::size_t>(index)].pattern);
}

OutputRenamingOptions::OutputRenamingOptions()
    : ouptputFolderPathName(defaultOutputFolder())
{
}

QString OutputRenamingOptions::defaultOutputFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/Velloran");
}

bool OutputRenamingOptions::isRenamingInForce() const
{
    return renamingOptionIndex == 1
        && (replaceFilenameCheck == 1 || addStringCheck == 1 || addEXIFDateTimeCheck == 1 || addEXIFLocationCheck == 1
            || appendWidthHeightCheck == 1);
}
