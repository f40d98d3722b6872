#pragma once

#include "analysis/after_sales.h"
#include "ui/analysis/ranking_grid.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class Prompter;
class Session;

// after_salesfrm: customers to follow up, by the age of their last order or visit, or by a goods
// item they ordered.
class AfterSalesScreen : public AnalysisWindow {
    Q_OBJECT
public:
    AfterSalesScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Fills the goods choice (the screen's load).
    void load();
    void search();  // Command1

private:
    void criterion_chosen(int index);

    Session& m_session;
    Prompter& m_prompter;
    GoodsChoice m_goods;
    QComboBox* m_criterion = nullptr;   // Combo1
    QLineEdit* m_days = nullptr;        // Text1
    QLabel* m_goods_caption = nullptr;  // Label3
    QComboBox* m_goods_box = nullptr;   // Combo2
    QListWidget* m_list = nullptr;      // List2
};
