#pragma once

#include "ui/analysis/ranking_grid.h"

class QLineEdit;
class Prompter;
class Session;

// order_rankfrm and goods_rankfrm: the business of the last year ranked, largest first, by customer
// or by goods item. Both have the same controls: the period shown above the grid and "閉じる".
class SalesRankScreen : public AnalysisWindow {
    Q_OBJECT
public:
    enum class Kind { Customers, Goods };
    SalesRankScreen(Session& session, Prompter& prompter, Kind kind, QWidget* parent = nullptr);

    // Computes the ranking for today (the screen's load).
    void load();

private:
    Session& m_session;
    Prompter& m_prompter;
    Kind m_kind;
    QLineEdit* m_start = nullptr;  // Text1_0
    QLineEdit* m_end = nullptr;    // Text1_1
    RankingGrid* m_grid = nullptr;
};
