#include "ui/records/activity_screen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

ActivityScreen::ActivityScreen(Session& session, Prompter& prompter, Activity activity, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter), m_kind(activity_kind(activity)) {
    m_record = activity == Activity::Visit      ? QStringLiteral("訪問")
               : activity == Activity::Estimate ? QStringLiteral("見積もり")
               : activity == Activity::Claim    ? QStringLiteral("クレーム")
                                                : QStringLiteral("問い合わせ");
    setObjectName(m_kind.screen);
    setWindowTitle(m_kind.caption);

    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox;
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("顧客名")), 0, 0);
    m_label2 = new QLabel(m_session.current_customer_name);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setFrameShape(QFrame::Panel);
    m_label2->setFrameShadow(QFrame::Sunken);
    grid->addWidget(m_label2, 0, 1);

    const QStringList opening = activity_opening_values(m_kind, m_session.current_employee,
                                                        m_session.clock.today_text(), m_session.tax_rate);
    for (int i = 0; i < m_kind.boxes.size(); ++i) {
        const ActivityBox& described = m_kind.boxes.at(i);
        auto* box = new QLineEdit(opening.value(i));
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        box->setMinimumWidth(described.kind == BoxKind::Text ? 320 : 140);
        if (described.kind == BoxKind::Amount || described.kind == BoxKind::Rate)
            box->setAlignment(Qt::AlignRight);
        if (described.kind == BoxKind::Amount)
            separate_thousands_on_leave(box);
        m_text1 << box;
        grid->addWidget(new QLabel(described.caption), i + 1, 0);
        grid->addWidget(box, i + 1, 1, Qt::AlignLeft);
        connect(box, &QLineEdit::returnPressed, this,
                [this, i] { m_text1.at((i + 1) % m_text1.size())->setFocus(); });
    }
    layout->addWidget(frame);

    auto* buttons = new QHBoxLayout;
    auto* save_button = new QPushButton(QStringLiteral("保存"));
    save_button->setObjectName(QStringLiteral("Command2"));
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    buttons->addStretch(1);
    buttons->addWidget(save_button);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);
    connect(save_button, &QPushButton::clicked, this, &ActivityScreen::save);
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({save_button}, close_button);

    adjustSize();
    center_form(this);
}

void ActivityScreen::reopen() {
    m_label2->setText(m_session.current_customer_name);
}

void ActivityScreen::save() {
    QStringList boxes;
    for (const QLineEdit* box : m_text1)
        boxes << box->text();
    QStringList messages;
    const bool ran = guarded(m_prompter, [&] {
        messages = save_activity(*m_session.db, m_kind, m_session.current_customer_id, boxes,
                                 m_session.clock.today());
    });
    for (int i = 0; i < m_text1.size(); ++i) {
        if (m_kind.boxes.at(i).kind == BoxKind::Date)
            m_text1[i]->setText(boxes.at(i));
    }
    for (const QString& message : messages)
        m_prompter.inform(message);
    if (ran && messages.isEmpty()) {
        hide();
        emit saved(saved_text(m_record, m_label2->text()));
    }
}
