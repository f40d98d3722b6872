#pragma once

#include "ui/analysis/cluster_tree_window.h"

class QLineEdit;
struct AbcGoods;

// abc_goodsfrm: the goods in five classes by last year's order lines, each with its buyers, so
// that the buyers of a goods item can be collected for a mailing.
class AbcGoodsScreen : public ClusterTreeWindow {
    Q_OBJECT
public:
    AbcGoodsScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    void load() override;
    // Root "r", classes "A" to "E", goods item at position p (from 1) as "aaa" + p, its buyers under
    // it as "aaa" + p + "_" + k, read when the goods node is first opened or clicked.
    void set_tree(const AbcGoods& result);

protected:
    void fill_children(const QString& key) override;

private:
    QLineEdit* m_start = nullptr;
    QString m_start_date;
    QHash<QString, QString> m_goods_of;  // goods node key -> 商品ID
};
