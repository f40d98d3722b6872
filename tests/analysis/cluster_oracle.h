#pragma once

#include <vector>

#include "analysis/cluster.h"

// The agglomeration as it is defined, without any cleverness: a full n x n table of squared
// distances and, at every step, a scan of every active pair in ascending (i, j) order that takes a
// later pair only when its distance is strictly smaller. The fast merge loop must give exactly this
// list, values included. Kept beside the tests (and used by the benchmark for the comparison).
// read_as_defined reads distance (j, i), down the columns, as the definition words it; the default
// reads the equal cell (i, j) along the rows, which is several times faster.
inline std::vector<WardMerge> scan_ward_merges(const std::vector<double>& values, int n, int variables,
                                               bool read_as_defined = false) {
    std::vector<double> d(size_t(n) * size_t(n), 0.0);
    for (int a = 0; a < n; ++a)
        for (int b = 0; b <= a; ++b) {
            double sum = 0.0;
            for (int s = 0; s < variables; ++s) {
                const double diff = values[size_t(b) * variables + s] - values[size_t(a) * variables + s];
                sum += diff * diff;
            }
            d[size_t(a) * n + b] = sum;
            d[size_t(b) * n + a] = sum;
        }
    std::vector<int> size(size_t(n), 1);
    std::vector<WardMerge> merges;
    for (int step = 1; step < n; ++step) {
        int p = -1, q = -1;
        double best = 0.0;
        for (int i = 0; i < n - 1; ++i) {
            if (size[size_t(i)] == 0)
                continue;
            for (int j = i + 1; j < n; ++j) {
                if (size[size_t(j)] == 0)
                    continue;
                const double v = read_as_defined ? d[size_t(j) * n + i] : d[size_t(i) * n + j];
                if (p < 0 || v < best) {
                    p = i;
                    q = j;
                    best = v;
                }
            }
        }
        const double dpq = d[size_t(p) * n + q];
        const int np = size[size_t(p)], nq = size[size_t(q)];
        for (int k = 0; k < n; ++k) {
            if (k == p || k == q || size[size_t(k)] == 0)
                continue;
            const int nk = size[size_t(k)];
            // Ward's rule, written out here on purpose rather than borrowed from the code under test.
            const double updated = (double(np + nk) * d[size_t(p) * n + k] +
                                    double(nq + nk) * d[size_t(q) * n + k] - double(nk) * dpq) /
                                   double(np + nq + nk);
            d[size_t(p) * n + k] = updated;
            d[size_t(k) * n + p] = updated;
        }
        merges.push_back({p, q, dpq});
        size[size_t(p)] = np + nq;
        size[size_t(q)] = 0;
    }
    return merges;
}
