#pragma once

#include <QtGlobal>
#include <vector>

// Sorts keys[lo..hi] ascending, moving ids[i] with keys[i]. The pivot is the middle entry and keys
// equal to it go to its right; not stable. The ABC analyses class equal sums in the order this
// leaves them, so the scheme is kept exactly. The left part recurses, the right part loops.
void quick_sort(std::vector<qint64>& keys, std::vector<int>& ids, int lo, int hi);
