#pragma once

#include "ui/records/entry_window.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Prompter;
class Session;

// "顧客へメール送信" (mail_onefrm): one mail to the customer shown in the main window.
class MailOneScreen : public EntryWindow {
    Q_OBJECT
public:
    MailOneScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    // Addresses the screen to this customer (by key: names may repeat) and fills the greeting.
    void set_customer(const QString& customer_id, const QString& name);

private:
    void send();

    Session& m_session;
    Prompter& m_prompter;
    QString m_customer_id;
    QLabel* m_label2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPlainTextEdit* m_text2 = nullptr;
    QLabel* m_rlog = nullptr;
};
