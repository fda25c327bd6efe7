#pragma once

// Answers the engine bridge's look-ups (QCoreApplication::translate in the
// "Localizable" context) from the program's string table, so the names the
// bridge gives tree roots and devices read as texts, not keys.

#include <QTranslator>

class StringTableTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
};
