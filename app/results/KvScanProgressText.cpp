#include "KvScanProgressText.h"

#include "Tr.h"

namespace ScanProgressText {

bool ShowsCount(double percent, uint64_t files) {
    return files > 0 || percent > 1.0;
}

QString FoundText(double percent, uint64_t files) {
    if (!ShowsCount(percent, files))
        return QString::fromLatin1(kPleaseWait);
    return Tr("QOV_FOUR_FILESFOUND", QString::number(files));
}

QString RemainingText(const QString& remaining) {
    return Tr("QOV_FOUR_REMAININGTIME", remaining);
}

bool MayUpdateRemaining(int64_t& lastUpdateMs, int64_t nowMs) {
    constexpr int64_t kPaceMs = 1000;
    // A clock set back lets the text change rather than freeze it.
    if (lastUpdateMs != 0 && nowMs >= lastUpdateMs && nowMs - lastUpdateMs < kPaceMs)
        return false;
    lastUpdateMs = nowMs;
    return true;
}

}  // namespace ScanProgressText

QuietDots QuietDotsFor(int64_t msSinceLastData) {
    constexpr int64_t kQuietMs = 30'000;
    constexpr int64_t kFreshMs = 3'000;
    if (msSinceLastData >= kQuietMs)
        return QuietDots::Start;
    if (msSinceLastData < kFreshMs)
        return QuietDots::Stop;
    return QuietDots::Keep;
}

QString KvFoundCountDots::next() {
    static const char* const kSuffixes[] = {".", "..", "...", " "};
    const QString suffix = QString::fromLatin1(kSuffixes[step_]);
    step_ = (step_ + 1) % 4;
    return suffix;
}
