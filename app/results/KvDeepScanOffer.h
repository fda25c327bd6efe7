#pragma once

// The offer of a deep scan after a quick scan: how often it has been shown,
// kept in the user's copy of the private settings, and where it points.

#include <QJsonValue>
#include <QPointF>

namespace DeepScanOffer {

// The offer is shown after the first this many quick scans.
inline constexpr int kTimesShown = 2;
// Closes by itself this long after it was shown.
inline constexpr int kCloseAfterMs = 8000;

// The times the offer was shown, as "IsFristTime" holds it: the number at the
// start of a text or a number itself; anything else counts 0.
int TimesShown(const QJsonValue& stored);

// True when the offer is to be shown now, and then counts it; a count that
// cannot be written is not reported.
bool TakeTurn();

// The point the offer's arrow points at, in the results window's bottom-left
// terms: 80 to the right of its left edge and 400 above its bottom edge.
inline constexpr QPointF kAnchor{80, 400};
// The bubble lies below the point, reaching rightwards, this far from it.
inline constexpr double kDistance = 10.0;

}  // namespace DeepScanOffer
