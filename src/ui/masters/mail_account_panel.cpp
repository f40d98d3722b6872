#include "ui/masters/mail_account_panel.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "mail/mail_auth.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

QToolButton* hold_to_show_button(QLineEdit* password_box, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(QStringLiteral("表示"));
    button->setToolTip(QStringLiteral("押している間だけパスワードを表示します"));
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QToolButton::pressed, password_box,
                     [password_box] { password_box->setEchoMode(QLineEdit::Normal); });
    QObject::connect(button, &QToolButton::released, password_box,
                     [password_box] { password_box->setEchoMode(QLineEdit::Password); });
    return button;
}

namespace {

QLineEdit* box(const char* name, QWidget* parent) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumWidth(300);
    return b;
}

}  // namespace

MailAccountPanel::MailAccountPanel(Session& session, Prompter& prompter, const Boxes& boxes, QWidget* parent)
    : QGroupBox(QStringLiteral("メールのサインインと受信"), parent),
      m_session(session),
      m_prompter(prompter),
      m_boxes(boxes) {
    setObjectName(QStringLiteral("mailAccount"));
    m_form = new QFormLayout(this);
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("signinMethod"));
    m_method->addItems(sign_in_method_names());
    m_client_id = box("clientId", this);
    m_client_secret = box("clientSecret", this);
    m_tenant = box("tenant", this);
    m_tenant->setPlaceholderText(QStringLiteral("空欄なら organizations"));
    m_authorize_url = box("authorizeUrl", this);
    m_token_url = box("tokenUrl", this);
    m_scope = box("scope", this);
    m_sign_in = new QPushButton(QStringLiteral("サインイン"), this);
    m_sign_in->setObjectName(QStringLiteral("signInB"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("signInState"));
    auto* sign_in_row = new QHBoxLayout;
    sign_in_row->addWidget(m_sign_in);
    sign_in_row->addWidget(m_state, 1);
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("fetchProtocol"));
    m_protocol->addItems({QStringLiteral("POP3"), QStringLiteral("IMAP")});
    m_imap_server = box("imapServer", this);
    m_imap_server->setPlaceholderText(QStringLiteral("imaps://imap.example.jp:993"));
    m_imap_folder = box("imapFolder", this);
    m_after = new QComboBox(this);
    m_after->setObjectName(QStringLiteral("afterFetch"));
    m_after->addItems(after_fetch_names());
    m_move_to = box("moveTo", this);

    m_form->addRow(QStringLiteral("サインイン方法"), m_method);
    m_form->addRow(QStringLiteral("クライアントID"), m_client_id);
    m_form->addRow(QStringLiteral("クライアントシークレット"), m_client_secret);
    m_form->addRow(QStringLiteral("テナント"), m_tenant);
    m_form->addRow(QStringLiteral("認可URL"), m_authorize_url);
    m_form->addRow(QStringLiteral("トークンURL"), m_token_url);
    m_form->addRow(QStringLiteral("スコープ"), m_scope);
    m_sign_in_row = m_form->rowCount();
    m_form->addRow(QString(), sign_in_row);
    m_form->addRow(QStringLiteral("受信方法"), m_protocol);
    m_form->addRow(QStringLiteral("IMAP サーバー"), m_imap_server);
    m_form->addRow(QStringLiteral("IMAP フォルダー"), m_imap_folder);
    m_form->addRow(QStringLiteral("受信したメール"), m_after);
    m_form->addRow(QStringLiteral("移動先フォルダー"), m_move_to);

    connect(m_method, &QComboBox::activated, this, &MailAccountPanel::method_chosen);
    connect(m_protocol, &QComboBox::currentIndexChanged, this, &MailAccountPanel::update_visibility);
    connect(m_after, &QComboBox::currentIndexChanged, this, &MailAccountPanel::update_visibility);
    connect(m_sign_in, &QPushButton::clicked, this, &MailAccountPanel::sign_in);
    connect(m_boxes.user, &QLineEdit::textChanged, this, &MailAccountPanel::show_sign_in_state);
    connect(m_client_id, &QLineEdit::textChanged, this, &MailAccountPanel::show_sign_in_state);
    load();
}

void MailAccountPanel::load() {
    guarded(m_prompter, [&] { m_stored = load_mail_settings(*m_session.db); });
    m_stored_user = m_boxes.user->text();
    const MailSettings& s = m_stored;
    m_method->setCurrentIndex(int(s.method));
    m_client_id->setText(s.client_id);
    m_client_secret->setText(s.client_secret);
    m_tenant->setText(s.tenant);
    m_authorize_url->setText(s.authorize_url);
    m_token_url->setText(s.token_url);
    m_scope->setText(s.scope);
    m_protocol->setCurrentIndex(s.protocol == FetchProtocol::Imap ? 1 : 0);
    m_imap_server->setText(s.imap_server);
    m_imap_folder->setText(s.imap_folder);
    m_after->setCurrentIndex(int(s.after));
    m_move_to->setText(s.move_to);
    update_visibility();
    show_sign_in_state();
}

MailSettings MailAccountPanel::settings() const {
    MailSettings s;
    s.method = SignInMethod(m_method->currentIndex());
    s.client_id = m_client_id->text().trimmed();
    s.client_secret = m_client_secret->text().trimmed();
    s.tenant = m_tenant->text().trimmed();
    s.authorize_url = m_authorize_url->text().trimmed();
    s.token_url = m_token_url->text().trimmed();
    s.scope = m_scope->text().trimmed();
    s.protocol = m_protocol->currentIndex() == 1 ? FetchProtocol::Imap : FetchProtocol::Pop3;
    s.imap_server = m_imap_server->text().trimmed();
    s.imap_folder =
        m_imap_folder->text().trimmed().isEmpty() ? QStringLiteral("INBOX") : m_imap_folder->text().trimmed();
    s.after = AfterFetch(m_after->currentIndex());
    s.move_to = m_move_to->text().trimmed();
    return s;
}

bool MailAccountPanel::changed() const {
    return !(settings() == m_stored) || m_boxes.user->text() != m_stored_user;
}

// Choosing a provider fills its servers in; they stay editable.
void MailAccountPanel::method_chosen(int index) {
    const ServerPreset preset = provider_servers(SignInMethod(index));
    if (!preset.smtp.isEmpty()) {
        m_boxes.smtp->setText(preset.smtp);
        m_boxes.pop->setText(preset.pop);
        m_imap_server->setText(preset.imap);
    }
    update_visibility();
    show_sign_in_state();
}

void MailAccountPanel::update_visibility() {
    const auto method = SignInMethod(m_method->currentIndex());
    const bool oauth = method != SignInMethod::Password;
    m_form->setRowVisible(m_client_id, oauth);
    m_form->setRowVisible(m_client_secret, method == SignInMethod::Google || method == SignInMethod::OAuth2);
    m_form->setRowVisible(m_tenant, method == SignInMethod::Microsoft365);
    for (QLineEdit* other : {m_authorize_url, m_token_url, m_scope})
        m_form->setRowVisible(other, method == SignInMethod::OAuth2);
    m_form->setRowVisible(m_sign_in_row, oauth);
    // A signed-in account needs no password: the box stays for password accounts.
    m_boxes.password->setEnabled(!oauth);
    const bool imap = m_protocol->currentIndex() == 1;
    for (QWidget* row : {static_cast<QWidget*>(m_imap_server), static_cast<QWidget*>(m_imap_folder),
                         static_cast<QWidget*>(m_after)})
        m_form->setRowVisible(row, imap);
    m_form->setRowVisible(m_move_to, imap && m_after->currentIndex() == int(AfterFetch::Move));
}

void MailAccountPanel::show_sign_in_state() {
    const MailSettings s = settings();
    if (!s.uses_oauth()) {
        m_state->clear();
        return;
    }
    std::optional<StoredSignIn> kept;
    guarded(m_prompter, [&] { kept = kept_sign_in(s, m_boxes.user->text()); });
    m_state->setText(kept ? QStringLiteral("サインイン済み: %1（%2）").arg(kept->user, kept->signed_in)
                          : QStringLiteral("サインインしていません"));
}

void MailAccountPanel::sign_in() {
    if (changed()) {
        if (!m_prompter.ask_yes_no(
                QStringLiteral("メールの設定が保存されていません。保存してからサインインしますか？")))
            return;
        if (!m_store_first || !m_store_first())
            return;
    }
    const MailSettings s = settings();
    SignInFlow flow(s, m_boxes.user->text());
    QDialog wait(window());
    wait.setObjectName(QStringLiteral("signInWait"));
    wait.setWindowTitle(QStringLiteral("サインイン"));
    auto* layout = new QVBoxLayout(&wait);
    layout->addWidget(
        new QLabel(QStringLiteral("ブラウザでサインインしてください。終わると自動でこの画面に戻ります。\n"
                                  "ブラウザが開かないときは、次のアドレスをブラウザに貼り付けてください。"),
                   &wait));
    auto* address = new QLineEdit(&wait);
    address->setObjectName(QStringLiteral("signInUrl"));
    address->setReadOnly(true);
    layout->addWidget(address);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), &wait);
    cancel->setObjectName(QStringLiteral("cancelB"));
    layout->addWidget(cancel, 0, Qt::AlignRight);
    connect(cancel, &QPushButton::clicked, &flow, &SignInFlow::cancel);
    SignInResult result;
    connect(&flow, &SignInFlow::finished, &wait, [&](const SignInResult& r) {
        result = r;
        wait.accept();
    });
    QString failure;
    const bool started = flow.start(
        [&](const QUrl& url) {
            address->setText(url.toString(QUrl::FullyEncoded));
            return m_prompter.open_document(url);
        },
        &failure);
    if (!started) {
        m_prompter.inform(failure);
        return;
    }
    // Closing the window cancels as the button does.
    connect(&wait, &QDialog::rejected, &flow, &SignInFlow::cancel);
    wait.exec();
    if (result.ok)
        m_prompter.inform(QStringLiteral("サインインしました: ") + result.user);
    else if (!result.failure.isEmpty())
        m_prompter.inform(result.failure);
    if (!result.warning.isEmpty())
        m_prompter.inform(result.warning);
    show_sign_in_state();
}
