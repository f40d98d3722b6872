#include "ui/mail/mail_template_screen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"
#include "ui/mail/mail_broadcast.h"

MailTemplateScreen::MailTemplateScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("mail_template"));
    setWindowTitle(QStringLiteral("メールテンプレートと同報差込送信"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto* choose_box = new QGroupBox(QStringLiteral("テンプレートの選択"));
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    (new QVBoxLayout(choose_box))->addWidget(m_list1);

    auto* edit_box = new QWidget;
    auto* edit = new QGridLayout(edit_box);
    edit->setContentsMargins(0, 0, 0, 0);
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("Text1_0"));
    m_body = new QPlainTextEdit;
    m_body->setObjectName(QStringLiteral("Text1_1"));
    m_body->setMinimumSize(380, 300);
    edit->addWidget(new QLabel(QStringLiteral("タイトル")), 0, 0);
    edit->addWidget(m_name, 0, 1);
    edit->addWidget(new QLabel(QStringLiteral("送信本文")), 1, 0, Qt::AlignTop);
    edit->addWidget(m_body, 1, 1);
    auto* edit_buttons = new QHBoxLayout;
    m_new = button("newB", QStringLiteral("新規"));
    m_save = button("saveB", QStringLiteral("保存"));
    m_delete = button("delB", QStringLiteral("削除"));
    for (QPushButton* b : {m_new, m_save, m_delete})
        edit_buttons->addWidget(b);
    edit_buttons->addStretch();
    edit->addLayout(edit_buttons, 2, 1);

    auto* list_box = new QGroupBox(QStringLiteral("同報メール送信先一覧"));
    auto* list_layout = new QVBoxLayout(list_box);
    m_list2 = new QListWidget;
    m_list2->setObjectName(QStringLiteral("List2"));
    install_list_tools(m_list2, m_session, m_prompter, QStringLiteral("送信先"));
    list_layout->addWidget(m_list2);
    m_clear = button("Command1", QStringLiteral("クリア"));
    m_send = button("mailbuttun", QStringLiteral("送信"));
    auto* list_buttons = new QHBoxLayout;
    list_buttons->addWidget(m_clear);
    list_buttons->addStretch();
    list_buttons->addWidget(m_send);
    list_layout->addLayout(list_buttons);

    // Made without a parent: it joins the window last, so Tab reaches it last, as it stands.
    m_cancel = new QPushButton(QStringLiteral("閉じる"));
    m_cancel->setObjectName(QStringLiteral("cancelB"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(choose_box, 0, 0);
    grid->addWidget(edit_box, 0, 1);
    grid->addWidget(list_box, 0, 2);
    grid->addWidget(m_cancel, 1, 2, Qt::AlignRight);
    grid->setColumnStretch(1, 1);

    // A click, or Enter on the current entry, chooses the template.
    for (auto signal : {&QListWidget::itemClicked, &QListWidget::itemActivated})
        connect(m_list1, signal, this, [this](QListWidgetItem* item) { choose(m_list1->row(item)); });
    connect(m_new, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { add_new(); }); });
    connect(m_save, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { save(); }); });
    connect(m_delete, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { remove(); }); });
    connect(m_send, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { send_to_list(); }); });
    connect(m_clear, &QPushButton::clicked, this, [this] { clear_list(); });
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    // The analyses add names while this screen is open: List2 always shows the list as it is.
    connect(&m_session.mailing_list, &MailingList::changed, this, [this] { show_mailing_list(); });

    m_body->setPlainText(default_template_body(m_session));
    m_save->hide();
    m_delete->hide();
    guarded(m_prompter, [this] { load_list(); });
    show_mailing_list();
    resize(1000, 520);
    center_form(this);
}

void MailTemplateScreen::reopen() {
    show_mailing_list();
}

void MailTemplateScreen::load_list() {
    m_list1->clear();
    m_templates = load_templates(*m_session.db);
    m_list1->addItems(m_templates.names);
}

void MailTemplateScreen::show_mailing_list() {
    m_list2->clear();
    m_list2->addItems(m_session.mailing_list.names());
}

void MailTemplateScreen::choose(int row) {
    if (row < 0 || row >= m_templates.names.size())
        return;
    show_edit_buttons(true);
    m_chosen = m_templates.names.at(row);
    m_name->setText(m_templates.names.at(row));
    m_body->setPlainText(m_templates.bodies.at(row));
    m_shown = row_from_texts({m_templates.names.at(row), m_templates.bodies.at(row)});
}

void MailTemplateScreen::show_edit_buttons(bool editing) {
    m_save->setVisible(editing);
    m_delete->setVisible(editing);
    m_new->setVisible(!editing);
    m_cancel->show();
}

void MailTemplateScreen::add_new() {
    const QString refused = add_template(*m_session.db, m_name->text(), m_body->toPlainText());
    if (!refused.isEmpty()) {
        m_prompter.inform(refused);
        return;
    }
    load_list();
}

void MailTemplateScreen::save() {
    const QString chosen = m_chosen;
    const QString name = m_name->text();
    const QString body = m_body->toPlainText();
    // Saved under the title as edited; when it cannot be, the screen says why and stays as it is.
    // The write-conflict check applies to the template as listed.
    QString refused;
    const bool listed = m_shown.found && m_shown.values.value(0) == chosen;
    const auto save = [&](const StoredRow* shown, StoredRow* stored) {
        WriteCheck check = WriteCheck::Clear;
        refused = save_template(*m_session.db, chosen, name, body, listed ? shown : nullptr, stored, &check);
        return check;
    };
    if (!save_shown_row(m_prompter, m_shown, save, [&] { reshow(chosen); }))
        return;
    if (!refused.isEmpty()) {
        m_prompter.inform(refused);
        return;
    }
    m_chosen = name;
    show_edit_buttons(false);
    load_list();
    m_prompter.inform(QStringLiteral("保存しました"));
}

void MailTemplateScreen::remove() {
    const QString name = m_name->text();
    const bool listed = m_shown.found && m_shown.values.value(0) == name;
    bool reshown = false;
    save_shown_row(
        m_prompter, m_shown,
        [&](const StoredRow* shown, StoredRow* stored) {
            return delete_template(*m_session.db, name, m_session.current_employee, listed ? shown : nullptr, stored);
        },
        [&] {
            reshow(name);
            reshown = true;
        });
    if (reshown)
        return;
    show_edit_buttons(false);
    load_list();
}

// The template as stored now, after another PC changed it.
void MailTemplateScreen::reshow(const QString& name) {
    load_list();
    const qsizetype row = m_templates.names.indexOf(name);
    if (row >= 0) {
        m_list1->setCurrentRow(int(row));
        choose(int(row));
    }
}

void MailTemplateScreen::send_to_list() {
    run_broadcast(this, m_session, m_prompter, m_session.mailing_list.names(), m_name->text(),
                  m_body->toPlainText());
}

void MailTemplateScreen::clear_list() {
    m_session.mailing_list.clear();
    show_mailing_list();
}
