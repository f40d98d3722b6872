#pragma once

#include "ui/records/entry_window.h"

class Prompter;
class QSpinBox;
class QTableWidget;
class Session;

// The screen "削除済みデータ": deleted customers, records, employees, goods, templates and merged
// customers, newest first. 元に戻す puts the chosen one back under its key; the number of days they
// are kept is set here.
class DeletedRowsScreen : public EntryWindow {
    Q_OBJECT
public:
    DeletedRowsScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    void refresh();

signals:
    // A row of table came back under key (a customer: the main window's list shows it again).
    void restored(const QString& table, const QString& key);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void restore();
    void save_days();

    Session& m_session;
    Prompter& m_prompter;
    QTableWidget* m_list = nullptr;
    QSpinBox* m_days = nullptr;
};
