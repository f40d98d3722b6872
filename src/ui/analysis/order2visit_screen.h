#pragma once

#include "ui/analysis/ranking_grid.h"

class Prompter;
class Session;

// order2visitfrm: each customer's order total set against its visits, as a measure of sales efficiency.
class Order2VisitScreen : public AnalysisWindow {
    Q_OBJECT
public:
    Order2VisitScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    void load();

private:
    Session& m_session;
    Prompter& m_prompter;
    RankingGrid* m_grid = nullptr;
};
