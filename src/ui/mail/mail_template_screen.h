#pragma once

#include "mail/mail_templates.h"
#include "ui/records/entry_window.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class Prompter;
class Session;

// "メールテンプレートと同報差込送信" (mail_template): keeps the templates and sends one to every name of
// the broadcast list (Session::mailing_list), which the analyses fill.
class MailTemplateScreen : public EntryWindow {
    Q_OBJECT
public:
    MailTemplateScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    // Shows the screen again with the broadcast list as it is now.
    void reopen();

private:
    void load_list();
    void show_mailing_list();
    void choose(int row);
    void reshow(const QString& name);
    void show_edit_buttons(bool editing);
    void add_new();       // newB
    void save();          // saveB
    void remove();        // delB
    void send_to_list();  // mailbuttun
    void clear_list();    // Command1

    Session& m_session;
    Prompter& m_prompter;
    MailTemplates m_templates;  // List1 and template_bodies
    StoredRow m_shown;          // the chosen template as listed, for the write-conflict check
    QString m_chosen;           // the name of the template chosen in List1, which saveB updates
    QListWidget* m_list1 = nullptr;
    QLineEdit* m_name = nullptr;       // Text1_0
    QPlainTextEdit* m_body = nullptr;  // Text1_1
    QListWidget* m_list2 = nullptr;    // mailing_list
    QPushButton* m_new = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_cancel = nullptr;
};
