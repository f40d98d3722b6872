#include "ui/analysis/order2visit_screen.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/order_visits.h"
#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"

Order2VisitScreen::Order2VisitScreen(Session& session, Prompter& prompter, QWidget* parent)
    : AnalysisWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("order2visitfrm"));
    setWindowTitle(QStringLiteral("受注累計と訪問回数"));

    auto* caption = new QLabel(
        QStringLiteral("訪問回数で受注累計を割った値を大きい順に表示します。営業効率がいいかがわかります"));
    caption->setObjectName(QStringLiteral("Label1"));
    caption->setWordWrap(true);

    m_grid = new RankingGrid({2000, 1000, 1000, 1000});
    install_list_tools(m_grid, m_session, m_prompter);

    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close_button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(twips(5050) + 60, 540);
}

void Order2VisitScreen::load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    guarded(m_prompter, [this] { m_grid->set_ranking(order_visits(*m_session.db)); });
    QApplication::restoreOverrideCursor();
    resize(std::max(width(), sizeHint().width()), height());
    center_form(this);
}
