#pragma once

#include "batch/naming/OutputRenamingOptions.h"

#include <QByteArray>
#include <QString>
#include <variant>

// Renaming options from JSON: one object whose keys are the field names of
// OutputRenamingOptions, with the nested records (addEXIFDateTime,
// addEXIFLocation, appendWidthHeight, replaceFilename, addString) as objects of
// their own field names. A key left out keeps the default. A key that is no
// field, or a value of the wrong kind (ints must be whole JSON numbers), is an
// error rather than a silent default: a typo would otherwise measure the wrong run.
std::variant<OutputRenamingOptions, QString> renamingOptionsFromJson(const QByteArray& json);
