#pragma once

#include <QVector>

#include "db/stored_row.h"
#include "ui/records/entry_window.h"

class QLineEdit;
class QRadioButton;
class MailAccountPanel;
class Prompter;
class Session;

// The screen company ("会社情報"): the one row of 自社情報.
class CompanyScreen : public EntryWindow {
    Q_OBJECT
public:
    CompanyScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void save();
    // Stores the row and the mail settings; close_after hides the screen with "保存しました".
    bool store(bool close_after);
    void reload();

    Session& m_session;
    Prompter& m_prompter;
    QVector<QLineEdit*> m_text1;
    QRadioButton* m_option[2] = {nullptr, nullptr};
    StoredRow m_shown;  // the row as read when shown, for the write-conflict check
    MailAccountPanel* m_mail = nullptr;
};
