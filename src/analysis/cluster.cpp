#include "analysis/cluster.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#ifdef __linux__
#include <sys/mman.h>
#endif

#include "db/database.h"

namespace {

// Room for n x n doubles. The table is large and touched everywhere, so on Linux it asks for huge
// pages: the first touch of 4 KB pages costs more than the whole merge loop on some machines.
double* allocate_cells(int n) {
    const size_t bytes = std::max<size_t>(size_t(n) * size_t(n) * sizeof(double), sizeof(double));
    constexpr size_t kHugePage = size_t(2) << 20;
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* cells = std::aligned_alloc(kHugePage, rounded);
    if (!cells)
        throw std::bad_alloc();
#ifdef __linux__
    madvise(cells, rounded, MADV_HUGEPAGE);
#endif
    return static_cast<double*>(cells);
}

// A cell of a count or sum: NULL ("-") and anything unreadable count as 0.
double cell_number(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? v : 0.0;
}

// Ward's rule, in one place and compiled without contraction, so every caller gets the same bits.
inline double ward_update(int np, int nq, int nk, double dpk, double dqk, double dpq) {
    return (double(np + nk) * dpk + double(nq + nk) * dqk - double(nk) * dpq) / double(np + nq + nk);
}

// Each cell adds the squared differences slot by slot from 0, in slot order. Fixed (non-zero)
// Variables lets the compiler unroll the slots and run across cases.
template <int Variables>
void fill_rows(DistanceMatrix& d, const std::vector<double>& values, const std::vector<double>& columns,
               int n, int variables) {
    const int width = Variables > 0 ? Variables : variables;
    for (int a = 0; a < n; ++a) {
        const double* va = values.data() + size_t(a) * size_t(width);
        double* row = d.row(a);
        for (int b = 0; b < n; ++b) {
            double sum = 0.0;
            for (int s = 0; s < width; ++s) {
                const double diff = va[s] - columns[size_t(s) * size_t(n) + size_t(b)];
                sum += diff * diff;
            }
            row[b] = sum;
        }
    }
}

}  // namespace

DistanceMatrix::DistanceMatrix(int n, bool zeroed) : m_n(std::max(n, 0)), m_cells(allocate_cells(m_n)) {
    if (zeroed)
        std::memset(m_cells.get(), 0, size_t(m_n) * size_t(m_n) * sizeof(double));
}

DistanceMatrix::DistanceMatrix(const DistanceMatrix& other) : m_n(other.m_n), m_cells(allocate_cells(m_n)) {
    if (m_n > 0)
        std::memcpy(m_cells.get(), other.m_cells.get(), size_t(m_n) * size_t(m_n) * sizeof(double));
}

DistanceMatrix& DistanceMatrix::operator=(const DistanceMatrix& other) {
    if (this != &other)
        *this = DistanceMatrix(other);
    return *this;
}

void DistanceMatrix::Release::operator()(double* cells) const {
    std::free(cells);
}

ClusterCases load_case_data(Database& db) {
    ClusterCases cases;
    const ResultTable customers = db.query_rows(QStringLiteral("select 顧客ID,顧客名 from 顧客 "), 2);
    const int n = customers.row_count();
    QHash<QString, int> position;
    position.reserve(n);
    cases.ids.reserve(n);
    cases.names.reserve(n);
    for (int r = 1; r <= n; ++r) {
        cases.ids << customers(0, r);
        cases.names << customers(1, r);
        // A later equal id wins, as in a search that keeps the last match.
        position.insert(customers(0, r).trimmed(), r - 1);
    }
    cases.values.assign(size_t(n) * kClusterVariables, 0.0);

    auto load = [&](const QString& statement, int slot) {
        const ResultTable t = db.query_rows(statement, 2);
        for (int r = 1, rows = t.row_count(); r <= rows; ++r) {
            const auto it = position.constFind(t(0, r).trimmed());
            // Rows of a deleted customer belong to nobody; they must not land on another customer.
            if (it == position.constEnd())
                continue;
            cases.values[size_t(*it) * kClusterVariables + slot] = cell_number(t(1, r));
        }
    };
    load(QStringLiteral("select 顧客ID,sum(受注金額) from 受注 group by 顧客ID"), 0);
    const char* const tables[] = {"見積もり", "訪問", "クレーム", "問い合わせ"};
    for (int i = 0; i < 4; ++i)
        load(QStringLiteral("select 顧客ID,count(*) from %1 group by 顧客ID")
                 .arg(QString::fromUtf8(tables[i])),
             i + 1);
    return cases;
}

DistanceMatrix compute_distances(const std::vector<double>& values, int n, int variables) {
    // Every cell is written below, both halves row by row: (a - b)² equals (b - a)² to the bit, and
    // writing along the rows is far cheaper than mirroring into columns.
    DistanceMatrix d(n, false);
    // The variables by column, so that the loop over cases vectorises.
    std::vector<double> columns(size_t(n) * size_t(variables));
    for (int c = 0; c < n; ++c)
        for (int s = 0; s < variables; ++s)
            columns[size_t(s) * size_t(n) + size_t(c)] = values[size_t(c) * size_t(variables) + size_t(s)];
    if (variables == kClusterVariables)
        fill_rows<kClusterVariables>(d, values, columns, n, kClusterVariables);
    else
        fill_rows<0>(d, values, columns, n, variables);
    return d;
}

DistanceMatrix compute_distances(const ClusterCases& cases) {
    return compute_distances(cases.values, cases.size(), kClusterVariables);
}

double ward_distance(int np, int nq, int nk, double dpk, double dqk, double dpq) {
    return ward_update(np, nq, nk, dpk, dqk, dpq);
}

std::vector<WardMerge> ward_merges(DistanceMatrix& d) {
    const int n = d.size();
    std::vector<WardMerge> merges;
    if (n < 2)
        return merges;
    merges.reserve(size_t(n - 1));

    // The active positions in ascending order, packed: the loops over them then carry no chain of
    // dependent loads, as a linked list would.
    const size_t count = size_t(n);
    std::vector<int> active(count);
    for (int i = 0; i < n; ++i)
        active[size_t(i)] = i;
    int active_count = n;
    std::vector<int> size(count, 1);
    // Per active row i: its nearest active j > i, the smallest j among equal distances; -1 for the
    // last active row.
    std::vector<int> nearest(count, -1);
    std::vector<double> nearest_d(count, 0.0);
    // The row at index t of the active positions.
    auto recompute = [&](int t) {
        const int i = active[size_t(t)];
        const double* row = d.row(i);
        int best = -1;
        double best_d = 0.0;
        for (int u = t + 1; u < active_count; ++u) {
            const int j = active[size_t(u)];
            const double v = row[j];
            if (best < 0 || v < best_d) {
                best = j;
                best_d = v;
            }
        }
        nearest[size_t(i)] = best;
        nearest_d[size_t(i)] = best_d;
    };
    for (int t = 0; t < n - 1; ++t)
        recompute(t);

    for (int step = 1; step < n; ++step) {
        // The row minima in ascending row order, strictly smaller only: the pair with the smallest
        // i, then the smallest j, among equal distances, as the full scan would take it.
        int p = -1;
        double dpq = 0.0;
        for (int t = 0; t < active_count; ++t) {
            const int i = active[size_t(t)];
            if (nearest[size_t(i)] >= 0 && (p < 0 || nearest_d[size_t(i)] < dpq)) {
                p = i;
                dpq = nearest_d[size_t(i)];
            }
        }
        const int q = nearest[size_t(p)];
        const int np = size[size_t(p)];
        const int nq = size[size_t(q)];
        const auto q_at = std::lower_bound(active.begin(), active.begin() + active_count, q);
        std::copy(q_at + 1, active.begin() + active_count, q_at);
        --active_count;
        nearest[size_t(q)] = -1;

        double* row_p = d.row(p);
        const double* row_q = d.row(q);
        int p_at = 0;
        for (int t = 0; t < active_count; ++t) {
            const int k = active[size_t(t)];
            if (k == p) {
                p_at = t;
                continue;
            }
            const double v = ward_update(np, nq, size[size_t(k)], row_p[k], row_q[k], dpq);
            row_p[k] = v;
            d.at(k, p) = v;
            // Row k is final now. Left of q, a row that pointed at p or q must search again; left
            // of p, a row keeps its minimum unless the new d(k, p) undercuts it, or ties it with a
            // smaller j. Rows right of q never see p or q.
            if (k < q) {
                const int j = nearest[size_t(k)];
                if (j == p || j == q) {
                    recompute(t);
                } else if (k < p && (v < nearest_d[size_t(k)] || (v == nearest_d[size_t(k)] && p < j))) {
                    nearest[size_t(k)] = p;
                    nearest_d[size_t(k)] = v;
                }
            }
        }
        recompute(p_at);
        merges.push_back({p, q, dpq});
        size[size_t(p)] = np + nq;
        size[size_t(q)] = 0;
    }
    return merges;
}

std::vector<int> cut_labels(int n, const std::vector<WardMerge>& merges) {
    std::vector<int> label(size_t(std::max(n, 0)));
    std::vector<std::vector<int>> members(label.size());
    for (int c = 0; c < n; ++c) {
        label[size_t(c)] = c + 1;
        members[size_t(c)] = {c};
    }
    const int steps = std::min(std::max(n - 4, 0), int(merges.size()));
    for (int s = 0; s < steps; ++s) {
        const auto& [p, q, distance] = merges[size_t(s)];
        auto& into = members[size_t(p)];
        for (int c : members[size_t(q)]) {
            label[size_t(c)] = p + 1;
            into.push_back(c);
        }
        members[size_t(q)].clear();
    }
    return label;
}

ClusterGroups number_groups(const std::vector<int>& labels) {
    ClusterGroups groups;
    groups.group.reserve(labels.size());
    std::vector<int> order;  // labels in order of first appearance
    for (int label : labels) {
        auto it = std::find(order.begin(), order.end(), label);
        if (it == order.end())
            it = order.insert(order.end(), label);
        const int g = int(it - order.begin());
        groups.group.push_back(g);
        if (g < 4)
            ++groups.counts[size_t(g)];
    }
    return groups;
}

ClusterResult run_clustering(Database& db) {
    ClusterResult result;
    // Tested before anything is loaded or any matrix is made.
    const int n = db.query_rows(QStringLiteral("select count(*) from 顧客 "), 1)(0, 1).toInt();
    if (n < kMinCases) {
        result.refusal = kTooFewCasesMessage;
        return result;
    }
    if (n > kMaxCases) {
        result.refusal = kTooManyCasesMessage;
        return result;
    }
    result.cases = load_case_data(db);
    const int cases = result.cases.size();
    if (cases < kMinCases || cases > kMaxCases) {
        result.refusal = cases < kMinCases ? kTooFewCasesMessage : kTooManyCasesMessage;
        result.cases = ClusterCases();
        return result;
    }
    DistanceMatrix distances = compute_distances(result.cases);
    result.merges = ward_merges(distances);
    result.groups = number_groups(cut_labels(cases, result.merges));
    return result;
}

QString cluster_group_text(int group, int count) {
    return QStringLiteral("グループ%1(%2 件)")
        .arg(group + 1)
        .arg(count > 0 ? QString::number(count) : QString());
}
