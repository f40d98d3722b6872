#include "ui/masters/deldata_screen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "masters/old_data.h"
#include "records/check.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/masters/backup_commands.h"

DeldataScreen::DeldataScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("deldata"));
    setWindowTitle(QStringLiteral("データ消去"));
    setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("この日より以前のデータを消去します"));
    caption->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(caption);
    m_text1 = new QLineEdit(proposed_cutoff(m_session.clock.today()));
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setMaximumWidth(140);
    layout->addWidget(m_text1);

    auto* buttons = new QHBoxLayout;
    auto* delete_button = new QPushButton(QStringLiteral("削除"));
    delete_button->setObjectName(QStringLiteral("Command1"));
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command2"));
    buttons->addStretch(1);
    buttons->addWidget(delete_button);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);
    connect(delete_button, &QPushButton::clicked, this, &DeldataScreen::delete_old);
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    adjustSize();
    center_form(this);
}

void DeldataScreen::delete_old() {
    QString date = m_text1->text();
    if (!check_date(date, QString(), true, true, m_session.clock.today())) {
        m_prompter.inform(kDateMessage);
        return;
    }
    m_text1->setText(date);
    // A backup is suggested first, and the question says how many rows will go.
    QVector<DeletedRows> counts;
    if (!guarded(m_prompter, [&] { counts = count_old_data(*m_session.db, date); }))
        return;
    if (m_prompter.ask_yes_no(kBackupFirstQuestion))
        backup_from_menu(m_session, m_prompter, this);
    if (!m_prompter.ask_yes_no(old_data_question(counts)))
        return;
    guarded(m_prompter,
            [&] { m_prompter.inform(deleted_rows_message(delete_old_data(*m_session.db, date))); });
}
