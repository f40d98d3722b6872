#include "ui/analysis/abc_goods_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analysis/abc.h"
#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

AbcGoodsScreen::AbcGoodsScreen(Session& session, Prompter& prompter, QWidget* parent)
    : ClusterTreeWindow(session, prompter, parent) {
    setObjectName(QStringLiteral("abc_goodsfrm"));
    setWindowTitle(QStringLiteral("ABC分析　商品"));

    m_start = add_period_box();
    // In the order of the tree's groups, A first; the classes are of goods.
    const QStringList captions = {
        QStringLiteral("Aランク　売り上げ２０％の商品"), QStringLiteral("Bランク　売り上げ８０％の商品"),
        QStringLiteral("C　　　　数回の売り上げ"), QStringLiteral("D　　　　一回のみ"),
        QStringLiteral("E　　　　売り上げなし")};
    add_class_captions(captions, 2);
    resize(680, 560);
}

void AbcGoodsScreen::load() {
    // This screen keeps the position the window system gives it.
    m_start->setText(abc_period_start_text(m_session.clock.today()));
    guarded(m_prompter, [&] { set_tree(abc_goods(*m_session.db, m_session.clock.today())); });
}

void AbcGoodsScreen::set_tree(const AbcGoods& result) {
    clear_tree();
    m_goods_of.clear();
    m_start_date = result.start_date;
    add_node(QString(), QStringLiteral("r"), QStringLiteral("ルート"));
    const QString letters = QStringLiteral("ABCDE");
    for (int c = 0; c < 5; ++c)
        add_node(QStringLiteral("r"), letters.at(c), abc_goods_group_text(c, result.counts[size_t(c)]));
    for (int p = 0; p < result.names.size(); ++p) {
        const QString key = QStringLiteral("aaa%1").arg(p + 1);
        add_node(letters.at(result.classes[size_t(p)]), key, result.names.at(p));
        if (result.classes[size_t(p)] != kGoodsNone) {
            m_goods_of.insert(key, result.ids.at(p));
            defer_children(key);
        }
    }
    expand(QStringLiteral("r"));
}

void AbcGoodsScreen::fill_children(const QString& key) {
    const auto it = m_goods_of.constFind(key);
    if (it == m_goods_of.constEnd())
        return;
    const QStringList buyers = abc_goods_buyers(*m_session.db, m_start_date, *it);
    for (int k = 0; k < buyers.size(); ++k)
        add_node(key, key + QStringLiteral("_%1").arg(k + 1), buyers.at(k));
}
