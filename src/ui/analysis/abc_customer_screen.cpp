#include "ui/analysis/abc_customer_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analysis/abc.h"
#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

AbcCustomerScreen::AbcCustomerScreen(Session& session, Prompter& prompter, QWidget* parent)
    : ClusterTreeWindow(session, prompter, parent) {
    setObjectName(QStringLiteral("abc_custfrm"));
    setWindowTitle(QStringLiteral("ABC分析 顧客"));

    m_start = add_period_box();
    const QStringList captions = {QStringLiteral("Aランク　売り上げ２０％の顧客"),
                                  QStringLiteral("Bランク　売り上げ８０％の顧客"),
                                  QStringLiteral("C　　　　その他"), QStringLiteral("D　　　　売り上げなし")};
    add_class_captions(captions, 2);
    resize(640, 560);
}

void AbcCustomerScreen::load() {
    center_form(this);
    m_start->setText(abc_period_start_text(m_session.clock.today()));
    guarded(m_prompter, [&] { set_tree(abc_customers(*m_session.db, m_session.clock.today())); });
}

void AbcCustomerScreen::set_tree(const AbcCustomers& result) {
    clear_tree();
    add_node(QString(), QStringLiteral("r"), QStringLiteral("ルート"));
    for (int rank = 0; rank < 4; ++rank)
        add_node(QStringLiteral("r"), abc_rank_letter(rank),
                 abc_customer_group_text(rank, result.counts[size_t(rank)]));
    for (int p = 0; p < result.names.size(); ++p)
        add_node(abc_rank_letter(result.ranks[size_t(p)]), QStringLiteral("aaa%1").arg(p + 1),
                 result.names.at(p));
    expand(QStringLiteral("r"));
}
