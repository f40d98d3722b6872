#pragma once

#include <QVector>
#include <optional>

#include "records/order_entry.h"
#include "ui/records/entry_window.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTableWidget;
class Prompter;
class Session;

// The order screen "order": one 受注 row and, when the company sells goods, its 受注明細 lines.
class OrderScreen : public EntryWindow {
    Q_OBJECT
public:
    OrderScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Each opening from the main window: the customer label follows the customer shown there.
    void reopen();

private:
    QWidget* build_header();
    QGroupBox* build_lines();
    void fill_goods_list();
    void goods_chosen(QListWidgetItem* item);  // List1
    void quantity_changed();                   // Text2
    void add_line();                           // Command3
    void remove_line();                        // Command4
    void save();                               // Command2
    void close_screen();                       // Command1
    void show_lines();

    Session& m_session;
    Prompter& m_prompter;
    std::optional<ChosenGoods> m_goods;
    QVector<OrderLine> m_lines;

    QVector<QLineEdit*> m_text1;
    QLabel* m_label2 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QListWidget* m_list1 = nullptr;
    QLabel* m_label5 = nullptr;
    QLabel* m_label7 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLabel* m_label3 = nullptr;
    QTableWidget* m_grid = nullptr;
};
