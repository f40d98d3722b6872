#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QVector>
#include <functional>

#include "customers/customer_store.h"
#include "ui/customers/customer_list_model.h"

class ChartWidget;
class HelpDesk;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class Prompter;
class Session;

// A label that reports clicks and the pointer entering it.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
    void hovered();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
};

// The main window "main": kana search, the customer block, the entry links, the chart frame and the menu.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the customer with this key; false when there is no such customer.
    bool show_customer(const QString& customer_id);
    // After a merge, its undo or a restore: the list drops the customers gone and adds those back,
    // and the customer shown is read again (forgotten when it is gone, as after its delete).
    void customers_changed(const QStringList& gone, const QStringList& back);
    // The search of every change of findc.
    void search(const QString& text);
    // The partial search of every change of findp: any part of name, address, contact, mail or phone.
    void partial_search(const QString& text);
    void press_key(int index);

    // Screens that the entry links open; set by the program so the window needs no knowledge of them.
    using ScreenOpener = std::function<void(int link)>;
    void set_entry_opener(ScreenOpener opener) { m_entry_opener = std::move(opener); }

    QWidget* chart_area() const { return m_status; }
    ChartWidget* chart() const { return m_chart; }
    // The working employee's own chart (after today's jobs): title, legend 1 to 4, history_scope 1.
    void show_employee_history();
    // What a click on legend label k opens (the record list), after selected_table is set.
    using LegendOpener = std::function<void(int entry)>;
    void set_legend_opener(LegendOpener opener) { m_legend_opener = std::move(opener); }

    // Gives a menu item (by its object name, e.g. "clustering") or the "mail_one" button its action.
    // Items without one tell the user the function is not ready.
    void set_action(const QString& name, std::function<void()> action);
    bool has_action(const QString& name) const { return m_actions.contains(name); }

    // A short confirmation in the status bar (what was stored and for whom).
    void show_status(const QString& text);

signals:
    void customer_shown();
    // No customer is shown any more (deleted, merged away, new entry): screens stop acting for it.
    void customer_forgotten();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // main_window.cpp: actions, help and version.
    void set_row_highlight(const QVector<ClickLabel*>& row, ClickLabel* hovered);
    void not_ready();
    void run_action(const QString& name);
    void open_help();
    void open_version();

    // main_window_menu.cpp: the menu bar and the window's keys.
    void build_menu();
    void add_access_keys();
    void add_keys();

    // main_window_search.cpp: the search frame.
    QWidget* build_search_frame();
    QWidget* build_partial_search_row();
    void list_clicked(const QModelIndex& index);
    // Puts a search's matches into List1 with their count; one match is shown at once.
    void show_matches(QVector<QString> ids);
    // Fills List1 and its count, keeping the chosen customer chosen when it is still listed.
    void set_list_ids(QVector<QString> ids);

    // main_window_history.cpp: the entry links and the chart frame.
    QWidget* build_links();
    QWidget* build_history_frame();

    // main_window_customer.cpp: the customer frame and customer editing.
    QWidget* build_customer_frame();
    QStringList field_texts() const;
    void clear_fields();
    void set_frame2_colour(const QColor& colour);
    // Says "顧客を選択してください" and returns true when no customer is current.
    bool refuse_without_customer();
    void forget_shown_customer();
    // Back to the state before any customer was shown: empty fields, only 新規顧客追加.
    void show_no_customer();
    void hide_customer_controls();
    // Reads the shown customer again after others changed it: forgotten when gone, its fields shown
    // anew when the stored row differs, its chart drawn again in any case (records may have moved).
    void refresh_shown_customer();
    void new_entry();       // Command1
    void cancel_entry();    // Command2
    void save_and_close();  // Command3
    void save_and_next();   // Command4
    void update_shown();    // Command6
    void delete_shown();    // delete_cust

    Session& m_session;
    Prompter& m_prompter;
    ScreenOpener m_entry_opener;
    LegendOpener m_legend_opener;
    QHash<QString, std::function<void()>> m_actions;
    QString m_shown_id;     // the customer the fields show; empty in new entry and after cancel
    StoredRow m_shown_row;  // that customer's row as read, for the write-conflict check
    bool m_filling_list = false;  // List1's current row is being set by the program, not the user

    QLineEdit* m_findc = nullptr;
    QListView* m_list = nullptr;
    QLineEdit* m_findp = nullptr;
    QLabel* m_hit_count = nullptr;
    CustomerListModel* m_model = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QVector<QLineEdit*> m_fields;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QPushButton* m_command4 = nullptr;
    QPushButton* m_command6 = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_mail_one = nullptr;
    QLabel* m_label8 = nullptr;
    QWidget* m_status = nullptr;
    ChartWidget* m_chart = nullptr;  // the same widget as m_status
    QVector<ClickLabel*> m_links;
    QVector<ClickLabel*> m_legend;
    QWidget* m_version = nullptr;
    HelpDesk* m_help = nullptr;

public:
    HelpDesk* help() const { return m_help; }
};
