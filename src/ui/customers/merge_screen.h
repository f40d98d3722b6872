#pragma once

#include "ui/records/entry_window.h"

class Prompter;
class QLineEdit;
class QListWidget;
class QRadioButton;
class Session;

// The screen "顧客の統合": each side finds a customer by its reading; the one marked "残す" keeps
// its key, the other's records move to it and the other is deleted (restorable).
class MergeScreen : public EntryWindow {
    Q_OBJECT
public:
    MergeScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    // Puts the customer shown in the main window on the first side.
    void preselect(const QString& customer_id, const QString& name);

signals:
    // other_id's records moved to kept_id, and other_id was deleted.
    void merged(const QString& kept_id, const QString& other_id);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void search(int side, const QString& text);
    void merge();

    Session& m_session;
    Prompter& m_prompter;
    QLineEdit* m_find[2] = {nullptr, nullptr};
    QListWidget* m_list[2] = {nullptr, nullptr};
    QRadioButton* m_keep[2] = {nullptr, nullptr};
};
