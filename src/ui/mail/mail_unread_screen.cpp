#include "ui/mail/mail_unread_screen.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "mail/mail_templates.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"

MailUnreadScreen::MailUnreadScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent) {
    setObjectName(QStringLiteral("unread"));
    setWindowTitle(QStringLiteral("未対応　EMAIL　問い合わせ一覧"));
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    install_list_tools(m_list1, session, prompter, QStringLiteral("未対応問い合わせ"));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("Command1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list1);
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    resize(480, 420);
    guarded(prompter, [&] { m_list1->addItems(unread_titles(*session.db)); });
}
