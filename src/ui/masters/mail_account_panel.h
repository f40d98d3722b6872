#pragma once

#include <QGroupBox>
#include <functional>

#include "mail/mail_settings.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class Prompter;
class Session;

// The mail account's sign-in and fetch settings on 会社情報, beside the design's boxes (POP, ユーザ,
// パスワード, SMTP), which it fills when a provider is chosen.
class MailAccountPanel : public QGroupBox {
    Q_OBJECT
public:
    // The design's boxes of the company screen that the panel reads and fills.
    struct Boxes {
        QLineEdit* pop;
        QLineEdit* user;
        QLineEdit* password;
        QLineEdit* smtp;
    };
    MailAccountPanel(Session& session, Prompter& prompter, const Boxes& boxes, QWidget* parent = nullptr);

    // Shows the settings as stored now.
    void load();
    MailSettings settings() const;
    // The settings as they were stored when shown.
    const MailSettings& stored() const { return m_stored; }
    // Whether what is shown differs from what is stored.
    bool changed() const;
    // Called by サインイン when the settings on screen are not stored yet: stores the whole screen and
    // says whether it did.
    void set_store_first(std::function<bool()> store) { m_store_first = std::move(store); }
    // The status line: who is signed in.
    void show_sign_in_state();

private:
    void method_chosen(int index);
    void update_visibility();
    void sign_in();

    Session& m_session;
    Prompter& m_prompter;
    Boxes m_boxes;
    MailSettings m_stored;
    QString m_stored_user;
    std::function<bool()> m_store_first;

    QComboBox* m_method;
    QLineEdit* m_client_id;
    QLineEdit* m_client_secret;
    QLineEdit* m_tenant;
    QLineEdit* m_authorize_url;
    QLineEdit* m_token_url;
    QLineEdit* m_scope;
    QPushButton* m_sign_in;
    QLabel* m_state;
    QComboBox* m_protocol;
    QLineEdit* m_imap_server;
    QLineEdit* m_imap_folder;
    QComboBox* m_after;
    QLineEdit* m_move_to;
    QFormLayout* m_form;
    int m_sign_in_row = 0;
};

// A button that shows a password box's text while it is held down, and dots again when let go.
QToolButton* hold_to_show_button(QLineEdit* password_box, QWidget* parent = nullptr);
