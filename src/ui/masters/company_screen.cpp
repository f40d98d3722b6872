#include "ui/masters/company_screen.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "masters/company_settings.h"
#include "ui/common/address_entry.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"
#include "ui/masters/mail_account_panel.h"

CompanyScreen::CompanyScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("company"));
    setWindowTitle(QStringLiteral("会社情報"));
    // The screen saves into the row; an empty table gets one first.
    guarded(m_prompter, [&] { ensure_company_row(m_session); });

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    // Caption per box; the second postal-code box shares the first one's caption.
    const char* const captions[kCompanyFieldCount] = {"消費税",     "会社名", "郵便番号", nullptr, "住所",
                                                      "電話",       "FAX",    "締め日",   "POP",   "ユーザ",
                                                      "パスワード", "SMTP",   "EMAIL"};
    int row = 0;
    for (int i = 0; i < kCompanyFieldCount; ++i) {
        auto* box = new QLineEdit(m_session.company_setting(i + 1));
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_text1 << box;
        connect(box, &QLineEdit::returnPressed, this,
                [this, i] { m_text1.at((i + 1) % kCompanyFieldCount)->setFocus(); });
    }
    m_text1.at(0)->setAlignment(Qt::AlignRight);
    m_text1.at(0)->setMaximumWidth(80);
    m_text1.at(10)->setEchoMode(QLineEdit::Password);
    for (int i = 0; i < kCompanyFieldCount; ++i) {
        if (!captions[i])
            continue;
        grid->addWidget(new QLabel(QString::fromUtf8(captions[i])), row, 0);
        if (i == 2) {
            auto* postal = new QHBoxLayout;
            m_text1.at(2)->setMaximumWidth(60);
            m_text1.at(3)->setMaximumWidth(70);
            postal->addWidget(m_text1.at(2));
            postal->addWidget(new QLabel(QStringLiteral("-")));
            postal->addWidget(m_text1.at(3));
            // The company row has no 都道府県: 住所 holds it.
            auto* search = new PostalAddressEntry(m_text1.at(2), m_text1.at(3), nullptr, m_text1.at(4),
                                                  m_prompter, this);
            postal->addWidget(search->button());
            postal->addStretch(1);
            grid->addLayout(postal, row, 1);
        } else if (i == 10) {
            // Dots, and the text only while the button is held.
            auto* password = new QHBoxLayout;
            password->addWidget(m_text1.at(10), 1);
            QToolButton* show = hold_to_show_button(m_text1.at(10), this);
            show->setObjectName(QStringLiteral("showPassword"));
            password->addWidget(show);
            grid->addLayout(password, row, 1);
        } else {
            m_text1.at(i)->setMinimumWidth(i == 0 ? 60 : 300);
            grid->addWidget(m_text1.at(i), row, 1, i == 0 ? Qt::AlignLeft : Qt::Alignment());
        }
        ++row;
    }
    grid->addWidget(new QLabel(QStringLiteral("業種タイプ")), row, 0);
    auto* types = new QHBoxLayout;
    auto* group = new QButtonGroup(this);
    const char* const type_captions[2] = {"商品", "工事またはプロジェクト"};
    for (int i = 0; i < 2; ++i) {
        m_option[i] = new QRadioButton(QString::fromUtf8(type_captions[i]));
        m_option[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        group->addButton(m_option[i], i);
        types->addWidget(m_option[i]);
    }
    types->addStretch(1);
    grid->addLayout(types, row, 1);
    const int type = business_type_of(m_session.company_setting(14));
    if (type >= 0)
        m_option[type]->setChecked(true);
    layout->addLayout(grid);
    m_mail = new MailAccountPanel(m_session, m_prompter,
                                  {m_text1.at(8), m_text1.at(9), m_text1.at(10), m_text1.at(11)}, this);
    m_mail->set_store_first([this] { return store(false); });
    layout->addWidget(m_mail);

    auto* buttons = new QHBoxLayout;
    auto* save_button = new QPushButton(QStringLiteral("保存"));
    save_button->setObjectName(QStringLiteral("Command2"));
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    buttons->addStretch(1);
    buttons->addWidget(save_button);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);
    connect(save_button, &QPushButton::clicked, this, &CompanyScreen::save);
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({save_button}, close_button);
    reload();
    adjustSize();
    center_form(this);
}

void CompanyScreen::showEvent(QShowEvent* event) {
    EntryWindow::showEvent(event);
    reload();
}

// The boxes show the row as stored now, not a copy from start-up.
void CompanyScreen::reload() {
    guarded(m_prompter, [&] { m_shown = load_company(m_session); });
    for (int i = 0; i < kCompanyFieldCount; ++i)
        m_text1.at(i)->setText(m_session.company_setting(i + 1));
    const int type = business_type_of(m_session.company_setting(14));
    for (int i = 0; i < 2; ++i)
        m_option[i]->setChecked(i == type);
    if (m_mail)
        m_mail->load();
}

void CompanyScreen::save() {
    store(true);
}

bool CompanyScreen::store(bool close_after) {
    const MailSettings mail = m_mail->settings();
    if (const QString problem = check_mail_settings(mail); !problem.isEmpty()) {
        m_prompter.inform(problem);
        return false;
    }
    // Settings another PC changed since they were shown are not overwritten unasked; unchanged ones
    // are not written at all.
    const bool mail_changed = !(mail == m_mail->stored());
    bool mail_conflict = false;
    bool done = false;
    QStringList fields;
    for (const QLineEdit* box : m_text1)
        fields << box->text();
    const int type = m_option[1]->isChecked() ? 1 : (m_option[0]->isChecked() ? 0 : -1);
    guarded(m_prompter, [&] {
        QString problem;
        const bool saved = save_shown_row(
            m_prompter, m_shown,
            [&](const StoredRow* shown, StoredRow* stored) {
                WriteCheck check = WriteCheck::Clear;
                // The mail settings beside the row are stored with it, or neither is.
                problem = save_company_settings(m_session, fields, type, shown, stored, &check, [&] {
                    if (!mail_changed)
                        return;
                    if (!(load_mail_settings(*m_session.db) == m_mail->stored())) {
                        mail_conflict = true;
                        throw DatabaseError(
                            QStringLiteral("表示した後に他の担当者がメールの設定を変更しています。保存されて"
                                           "いる設定を表示しました"
                                           "ので、確かめてからもう一度保存してください。"));
                    }
                    save_mail_settings(*m_session.db, mail);
                });
                return check;
            },
            [&] { reload(); });
        if (!problem.isEmpty()) {
            m_prompter.inform(problem);
            return;
        }
        if (!saved)
            return;
        done = true;
        m_mail->load();
        if (!close_after)
            return;
        m_prompter.inform(QStringLiteral("保存しました"));
        hide();
    });
    if (mail_conflict)
        m_mail->load();
    return done;
}
