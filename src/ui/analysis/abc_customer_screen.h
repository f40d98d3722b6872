#pragma once

#include "ui/analysis/cluster_tree_window.h"

class QLineEdit;
struct AbcCustomers;

// abc_custfrm: the customers in the classes A to D by their share of last year's order amounts.
class AbcCustomerScreen : public ClusterTreeWindow {
    Q_OBJECT
public:
    AbcCustomerScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    void load() override;
    // Root "r", classes "A" to "D", the customer at position p (from 1) as "aaa" + p.
    void set_tree(const AbcCustomers& result);

private:
    QLineEdit* m_start = nullptr;
};
