#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The names of what we make for a moment beside the user's files (a temporary
// file, a held name, a private folder): a prefix, eight random letters or digits,
// and eight more that a keyed hash of ours derives from those. A sweep of what
// ended runs left takes a name for ours only when it carries that token, never by
// its prefix alone: a user's ".velloran-config" beside the photos is theirs.
namespace TemporaryNames {

// A fresh name: the prefix and sixteen letters or digits.
QByteArray make(QByteArrayView prefix);

// The length of the part of name that make made (the prefix and sixteen letters
// carrying the token) where name begins with one; else 0.
qsizetype madeLength(QByteArrayView name, QByteArrayView prefix);

} // namespace TemporaryNames
