#include "analysis/quick_sort.h"

void quick_sort(std::vector<qint64>& keys, std::vector<int>& ids, int lo, int hi) {
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const qint64 pivot = keys[size_t(mid)];
        const int pivot_id = ids[size_t(mid)];
        keys[size_t(mid)] = keys[size_t(lo)];
        ids[size_t(mid)] = ids[size_t(lo)];
        int last = lo;
        for (int i = lo + 1; i <= hi; ++i) {
            if (keys[size_t(i)] < pivot) {
                ++last;
                std::swap(keys[size_t(last)], keys[size_t(i)]);
                std::swap(ids[size_t(last)], ids[size_t(i)]);
            }
        }
        keys[size_t(lo)] = keys[size_t(last)];
        ids[size_t(lo)] = ids[size_t(last)];
        keys[size_t(last)] = pivot;
        ids[size_t(last)] = pivot_id;
        quick_sort(keys, ids, lo, last - 1);
        lo = last + 1;
    }
}
