#include "ui/analysis/order_rank_screen.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/ranking.h"
#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"

SalesRankScreen::SalesRankScreen(Session& session, Prompter& prompter, Kind kind, QWidget* parent)
    : AnalysisWindow(parent), m_session(session), m_prompter(prompter), m_kind(kind) {
    const bool customers = kind == Kind::Customers;
    setObjectName(customers ? QStringLiteral("order_rankfrm") : QStringLiteral("goods_rankfrm"));
    setWindowTitle(customers ? QStringLiteral("顧客別売り上げ") : QStringLiteral("商品別売り上げ"));

    // The period is shown only; the ranking always covers the year up to today.
    m_start = new QLineEdit;
    m_start->setObjectName(QStringLiteral("Text1_0"));
    m_end = new QLineEdit;
    m_end->setObjectName(QStringLiteral("Text1_1"));
    for (QLineEdit* box : {m_start, m_end}) {
        box->setReadOnly(true);
        box->setMaximumWidth(100);
    }
    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("期間")));
    period->addWidget(m_start);
    period->addWidget(new QLabel(QStringLiteral("から")));
    period->addWidget(m_end);
    period->addStretch();

    m_grid = customers ? new RankingGrid({2000, 1000, 1000}) : new RankingGrid({2000, 1000});
    install_list_tools(m_grid, m_session, m_prompter);

    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(period);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(twips(5050) + 60, 520);
}

void SalesRankScreen::load() {
    const QDate today = m_session.clock.today();
    m_start->setText(period_start_text(today));
    m_end->setText(period_end_text(today));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    guarded(m_prompter, [this, today] {
        m_grid->set_ranking(m_kind == Kind::Customers ? order_ranking(*m_session.db, today)
                                                      : goods_ranking(*m_session.db, today));
    });
    QApplication::restoreOverrideCursor();
    resize(std::max(width(), sizeHint().width()), height());
    center_form(this);
}
