#include "SearchText.h"

namespace SearchText {

bool isBlankOnly(const QString& typed) {
    return typed == QLatin1String(" ") || typed == QLatin1String("  ");
}

QString normalise(const QString& typed) {
    // A non-breaking space pasted through a Latin-1 reading arrives as U+00C2
    // and blanks; folding can make a new run, hence the loop.
    static const QString kMisread = QStringLiteral(u"\u00C2  ");
    QString text = typed;
    while (text.contains(kMisread))
        text.replace(kMisread, QStringLiteral(" "));
    if (!text.isEmpty() && text.front() == u' ')
        text.remove(0, 1);
    if (!text.isEmpty() && text.back() == u' ')
        text.chop(1);
    return text;
}

}  // namespace SearchText
