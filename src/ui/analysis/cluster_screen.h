#pragma once

#include "ui/analysis/cluster_tree_window.h"

struct ClusterResult;

// clusterfrm: the customers in the four groups of the Ward clustering.
class ClusterScreen : public ClusterTreeWindow {
    Q_OBJECT
public:
    ClusterScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Runs the clustering; a count out of bounds is told and leaves the tree empty.
    void load() override;
    // Root "r", groups "A" to "D", customer c under its group as "aaa" + c.
    void build_cluster_tree(const ClusterResult& result);
};
