#pragma once

#include <QVector>

#include "ui/records/entry_window.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class Prompter;
class Session;

// The cost screen "genka": books costs against one of the customer's orders; stays open after saving.
class CostScreen : public EntryWindow {
    Q_OBJECT
public:
    CostScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Each opening from the main window: customer label and order list follow the customer shown
    // there; a chosen order of another customer is dropped.
    void reopen();

private:
    void fill_orders();
    void fill_cost_names();
    void order_chosen(int row);        // MSFlexGrid1
    void cost_name_chosen(int index);  // Combo2
    void save();                       // Command2

    Session& m_session;
    Prompter& m_prompter;
    QString m_listed_customer;  // whose orders the grid shows

    QTableWidget* m_grid = nullptr;
    QVector<QLabel*> m_label2;
    QGroupBox* m_frame1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QLineEdit* m_date = nullptr;    // Text1_1
    QLineEdit* m_name = nullptr;    // Text1_2
    QLineEdit* m_amount = nullptr;  // Text1_3
};
