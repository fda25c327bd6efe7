#pragma once

// Every visible text is a key of the program's string table. A key the table
// does not hold shows as itself, so a missing text is seen, not blank.

#include <QString>

QString Tr(const char* key);
// The text of a format key with %1 (and %2) filled in.
QString Tr(const char* key, const QString& first);
QString Tr(const char* key, const QString& first, const QString& second);
bool HasTr(const char* key);
