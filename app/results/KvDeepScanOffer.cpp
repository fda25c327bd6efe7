#include "KvDeepScanOffer.h"

#include <algorithm>
#include <climits>

#include "PrivateData.h"

namespace DeepScanOffer {

namespace {

constexpr const char* kKey = "IsFristTime";

// Leading blanks, a sign and digits, as far as they go; saturates.
int LeadingInt(const QString& text) {
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i].unicode() - '0'), INT_MAX);
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

int TimesShown(const QJsonValue& stored) {
    if (stored.isDouble())
        return stored.toInt();
    if (stored.isString())
        return LeadingInt(stored.toString());
    return 0;
}

bool TakeTurn() {
    const int shown = TimesShown(PrivateData::value(kKey));
    if (shown >= kTimesShown)
        return false;
    PrivateData::setValue(kKey, QString::number(shown + 1));
    return true;
}

}  // namespace DeepScanOffer
