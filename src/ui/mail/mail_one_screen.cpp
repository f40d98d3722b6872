#include "ui/mail/mail_one_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/session.h"
#include "mail/send_mail.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

MailOneScreen::MailOneScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("mail_onefrm"));
    setWindowTitle(QStringLiteral("顧客へメール送信"));
    m_label2 = new QLabel;
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_text1 = new QLineEdit;
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text2 = new QPlainTextEdit;
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMinimumSize(420, 260);
    m_rlog = new QLabel;
    m_rlog->setObjectName(QStringLiteral("rlog"));
    auto* send = new QPushButton(QStringLiteral("送信"));
    send->setObjectName(QStringLiteral("Command1"));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("Command2"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("宛先")), 0, 0);
    grid->addWidget(m_label2, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("件名")), 1, 0);
    grid->addWidget(m_text1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("本文")), 2, 0, Qt::AlignTop);
    grid->addWidget(m_text2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_rlog, 1);
    buttons->addWidget(send);
    buttons->addWidget(close);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(m_text1, &QLineEdit::returnPressed, m_text2, [this] { m_text2->setFocus(); });
    connect(send, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { this->send(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({}, close);
}

void MailOneScreen::set_customer(const QString& customer_id, const QString& name) {
    m_customer_id = customer_id;
    m_label2->setText(name);
    m_text2->setPlainText(name + QStringLiteral("　様　いつもお世話になっております"));
}

void MailOneScreen::send() {
    // Too long to be recorded: refused before anything is sent.
    if (const QString problem = mail_length_problem(m_text1->text(), m_text2->toPlainText());
        !problem.isEmpty()) {
        m_prompter.inform(problem);
        m_rlog->setText(QStringLiteral("送信できませんでした"));
        return;
    }
    const SendResult result =
        send_mail_to_customer(m_session, m_customer_id, m_text1->text(), m_text2->toPlainText());
    if (result.sent) {
        m_rlog->setText(QStringLiteral("送信しました ") + m_label2->text());
        // Sent but not recorded: say both, so the mail is not sent a second time.
        if (!result.record_failure.isEmpty())
            m_prompter.inform(QStringLiteral("メールは送信しましたが、訪問の記録を保存できませんでした。\n") +
                              result.record_failure);
        return;
    }
    // Nothing was sent: say so rather than "送信しました".
    if (result.found)
        m_prompter.inform(send_failure_message(result));
    m_rlog->setText(result.found ? QStringLiteral("送信できませんでした")
                                 : QStringLiteral("送信できませんでした（顧客が見つかりません）"));
}
