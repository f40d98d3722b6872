#!/usr/bin/python3
"""Times SciPy's Ward linkage on the variable matrices that bench_cluster writes.

Usage: scipy_ward.py FILE...   (one row of numbers per case, separated by blanks)
Prints one line per file: the file name, the number of cases, the median seconds of
linkage(X, 'ward') (distances included) and of linkage on distances computed beforehand.
"""
import sys
import time

import numpy as np
from scipy.cluster.hierarchy import linkage
from scipy.spatial.distance import pdist


def median_seconds(run, rounds):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    times.sort()
    return times[len(times) // 2]


def main(paths):
    for path in paths:
        x = np.loadtxt(path, ndmin=2)
        rounds = 5 if len(x) <= 5000 else 3
        whole = median_seconds(lambda: linkage(x, 'ward'), rounds)
        y = pdist(x)
        merges = median_seconds(lambda: linkage(y, 'ward'), rounds)
        print(f"{path}\t{len(x)}\t{whole:.6f}\t{merges:.6f}", flush=True)


if __name__ == '__main__':
    main(sys.argv[1:])
