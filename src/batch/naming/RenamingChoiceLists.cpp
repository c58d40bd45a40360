#include "batch/naming/RenamingChoiceLists.h"

#include "batch/naming/OutputRenamingOptions.h"

using namespace Qt::Literals::StringLiterals;

QStringList RenamingChoiceLists::rows(int listType)
{
    switch (listType) {
    case Position:
        return { u"Prefix"_s, u"Suffix"_s };
    case DateSource:
        return { u"Original Date/Time"_s, u"Creation Date"_s, u"Modify Date"_s };
    case DateFormat: {
        QStringList names;
        for (const OutputNameDateFormat& format : OutputNameDateFormats::kFormats)
            names.append(QString::fromLatin1(format.name));
        return names;
    }
    default:
        return {};
    }
}

std::optional<RenamingChoiceLists::ListType> RenamingChoiceLists::listForButtonTag(int tag)
{
    switch (tag) {
    case 602:
        return Position;
    case 603:
        return DateSource;
    case 604:
        return DateFormat;
    default:
        return std::nullopt;
    }
}

int RenamingChoiceLists::popupHeight(int listType)
{
    const qsizetype count = rows(listType).size();
    return count <= 5 ? int(count) * kRowHeight + 8 : 186;
}
