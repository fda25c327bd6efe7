#pragma once

// The text a name search looks for, made from what the user typed.

#include <QString>

namespace SearchText {

// True for a text of one or two blanks only: no search, and the entry the
// search field just remembered is dropped again.
bool isBlankOnly(const QString& typed);

// Every U+00C2 followed by two blanks becomes one blank (until none is
// left); then at most one blank goes from the start and one from the end.
QString normalise(const QString& typed);

}  // namespace SearchText
