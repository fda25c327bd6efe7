#include "StringTableTranslator.h"

#include <cstring>

#include "Tr.h"

QString StringTableTranslator::translate(const char* context, const char* sourceText,
                                         const char* /*disambiguation*/, int /*n*/) const {
    // Other contexts are Qt's own; a key the table lacks stays itself.
    if (context == nullptr || std::strcmp(context, "Localizable") != 0 || sourceText == nullptr ||
        !HasTr(sourceText))
        return {};
    return Tr(sourceText);
}
