#pragma once

#include <QString>
#include <QVector>
#include <array>
#include <memory>
#include <vector>

class Database;

// Ward clustering of the customers into four groups by the shape of their history.

inline const QString kTooFewCasesMessage =
    QStringLiteral("有効ケース数が２以下なので、解析する意味がありません。");
inline const QString kTooManyCasesMessage =
    QStringLiteral("ケース数が大きすぎると思います。解析を中止します。");
constexpr int kMinCases = 3;
constexpr int kMaxCases = 2000;

// Per customer: total order amount, estimates, visits, claims, inquiries, cumulative cost (never
// loaded, always 0). Used as they are, without scaling.
constexpr int kClusterVariables = 6;

struct ClusterCases {
    QVector<QString> ids;        // 顧客ID as returned, in the database's row order
    QVector<QString> names;      // 顧客名; "-" where NULL
    std::vector<double> values;  // kClusterVariables per case, row after row

    int size() const { return ids.size(); }
    double value(int position, int slot) const { return values[size_t(position) * kClusterVariables + slot]; }
};

// Reads every customer and its five loaded variables. Rows of a 顧客ID that belongs to no customer
// (activity of a deleted customer) are skipped; an empty sum ("-") counts as 0.
ClusterCases load_case_data(Database& db);

// A symmetric n x n table of doubles, row after row, starting at 0. Both halves are kept, so that
// the rows a merge reads are contiguous (32 MB at 2000 cases).
class DistanceMatrix {
public:
    DistanceMatrix() = default;
    // All cells 0; zeroed = false leaves them unset for a caller that writes every one.
    explicit DistanceMatrix(int n, bool zeroed = true);
    DistanceMatrix(const DistanceMatrix& other);
    DistanceMatrix& operator=(const DistanceMatrix& other);
    DistanceMatrix(DistanceMatrix&&) noexcept = default;
    DistanceMatrix& operator=(DistanceMatrix&&) noexcept = default;

    int size() const { return m_n; }
    double& at(int i, int j) { return m_cells[size_t(i) * size_t(m_n) + size_t(j)]; }
    double at(int i, int j) const { return m_cells[size_t(i) * size_t(m_n) + size_t(j)]; }
    double* row(int i) { return m_cells.get() + size_t(i) * size_t(m_n); }
    const double* row(int i) const { return m_cells.get() + size_t(i) * size_t(m_n); }

private:
    struct Release {
        void operator()(double* cells) const;
    };
    int m_n = 0;
    std::unique_ptr<double[], Release> m_cells;
};

// Squared Euclidean distances between the cases' variable rows (no square root: Ward works on it).
DistanceMatrix compute_distances(const ClusterCases& cases);
DistanceMatrix compute_distances(const std::vector<double>& values, int n, int variables);

// Ward's rule for the distance from k to the cluster made of p and q, sizes before the merge.
double ward_distance(int np, int nq, int nk, double dpk, double dqk, double dpq);

// One step of the agglomeration: the lower position survives.
struct WardMerge {
    int survivor = 0;
    int absorbed = 0;
    double distance = 0;  // d(p, q) when they were merged
    bool operator==(const WardMerge& o) const {
        return survivor == o.survivor && absorbed == o.absorbed && distance == o.distance;
    }
};

// The n - 1 merges, step by step exactly as a scan of every active pair in ascending (i, j) order
// taking only a strictly smaller distance would choose them, with the same values. The matrix is
// overwritten by the updates. Each row keeps its nearest active partner to the right, so a step
// costs a pass over the row minima plus the rows that the merge disturbed.
std::vector<WardMerge> ward_merges(DistanceMatrix& distances);

// Labels after the first n - 4 merges (none for n <= 4): the case at position c starts with c + 1,
// and a merge (p, q) relabels every case labelled q + 1 to p + 1.
std::vector<int> cut_labels(int n, const std::vector<WardMerge>& merges);

// Groups 0 to 3 numbered in order of first appearance of the labels, walking the cases from 0.
struct ClusterGroups {
    std::vector<int> group;       // per case
    std::array<int, 4> counts{};  // customers per group; 0 for an empty fourth group (n = 3)
};
ClusterGroups number_groups(const std::vector<int>& labels);

struct ClusterResult {
    QString refusal;  // one of the two messages when the count is out of bounds; empty otherwise
    ClusterCases cases;
    std::vector<WardMerge> merges;
    ClusterGroups groups;
    bool ok() const { return refusal.isEmpty(); }
};

// The whole analysis: the count is tested before anything is loaded.
ClusterResult run_clustering(Database& db);

// The tree's group caption, e.g. グループ1(25 件); an empty group shows nothing before " 件".
QString cluster_group_text(int group, int count);
