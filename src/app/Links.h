#pragma once

#include <QString>

// The one web page of the project. Help, the rating prompt and the help menu all
// open it.
namespace Links {
inline const QString projectPage = QStringLiteral("https://velloran.org/");
} // namespace Links
