#pragma once

// The texts of the results window's status area while a scan runs: the found
// count, the remaining time with its once-a-second pace, and the dots the
// found count cycles through when no data has come for a while.

#include <QString>

#include <cstdint>

namespace ScanProgressText {

// Shown until the scan has found something or gone past 1 %.
inline constexpr const char* kPleaseWait = "Please wait...";
inline constexpr const char* kPrepareToScan = "Prepare to scan your drive";

// Whether the count and the remaining time are shown instead.
bool ShowsCount(double percent, uint64_t files);
// "Files found: n", or the waiting text before the scan has got going.
QString FoundText(double percent, uint64_t files);
QString RemainingText(const QString& remaining);

// The remaining time changes at most once a second, whoever asks: true when
// it may change now (never changed, or a second or more ago), and then
// `lastUpdateMs` becomes `nowMs`.
bool MayUpdateRemaining(int64_t& lastUpdateMs, int64_t nowMs);

}  // namespace ScanProgressText

// What the 1.5-second progress tick does with the found count's dots.
enum class QuietDots { Start, Stop, Keep };

// After 30 s without scan data the dots start; once data has come within the
// last 3 s they stop; in between they stay as they are.
QuietDots QuietDotsFor(int64_t msSinceLastData);

// The suffixes the found count cycles through, a step a second:
// ".", "..", "..." and a blank.
class KvFoundCountDots {
public:
    void restart() { step_ = 0; }
    QString next();

private:
    int step_ = 0;
};
