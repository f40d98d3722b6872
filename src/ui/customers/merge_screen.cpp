#include "ui/customers/merge_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "customers/customer_merge.h"
#include "customers/customer_store.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

MergeScreen::MergeScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("merge_customers"));
    setWindowTitle(QStringLiteral("顧客の統合"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(
        QStringLiteral("同じ顧客の 2 件を選び、残す方を選んでください。もう一方の履歴データは残す顧客に移り、"
                       "空欄はもう一方の内容で埋まります。"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* grid = new QGridLayout;
    const char* suffix[2] = {"A", "B"};
    for (int side = 0; side < 2; ++side) {
        auto* caption =
            new QLabel(side == 0 ? QStringLiteral("顧客 1（かな）") : QStringLiteral("顧客 2（かな）"));
        m_find[side] = new QLineEdit;
        m_find[side]->setObjectName(QStringLiteral("find") + QLatin1String(suffix[side]));
        m_list[side] = new QListWidget;
        m_list[side]->setObjectName(QStringLiteral("List") + QLatin1String(suffix[side]));
        m_list[side]->setMinimumSize(280, 220);
        m_keep[side] = new QRadioButton(QStringLiteral("この顧客を残す"));
        m_keep[side]->setObjectName(QStringLiteral("keep") + QLatin1String(suffix[side]));
        grid->addWidget(caption, 0, side);
        grid->addWidget(m_find[side], 1, side);
        grid->addWidget(m_list[side], 2, side);
        grid->addWidget(m_keep[side], 3, side);
        connect(m_find[side], &QLineEdit::textChanged, this,
                [this, side](const QString& t) { search(side, t); });
    }
    m_keep[0]->setChecked(true);
    layout->addLayout(grid, 1);
    auto* buttons = new QHBoxLayout;
    auto* merge = new QPushButton(QStringLiteral("統合"));
    merge->setObjectName(QStringLiteral("mergeB"));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("cancelB"));
    buttons->addStretch(1);
    buttons->addWidget(merge);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(merge, &QPushButton::clicked, this, &MergeScreen::merge);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({}, close);
    center_form(this);
}

void MergeScreen::showEvent(QShowEvent* event) {
    if (m_list[0]->count() == 0 && !m_session.current_customer_id.isEmpty())
        preselect(m_session.current_customer_id, m_session.current_customer_name);
    EntryWindow::showEvent(event);
}

void MergeScreen::preselect(const QString& customer_id, const QString& name) {
    m_list[0]->clear();
    auto* item = new QListWidgetItem(QStringLiteral("%1（%2）").arg(name, customer_id), m_list[0]);
    item->setData(Qt::UserRole, customer_id);
    m_list[0]->setCurrentItem(item);
}

void MergeScreen::search(int side, const QString& text) {
    if (text.isEmpty())
        return;
    guarded(m_prompter, [&] {
        const CustomerHits hits = search_customers(*m_session.db, text);
        m_list[side]->clear();
        // The key beside the name tells two records of the same name apart.
        for (int i = 0; i < hits.size(); ++i) {
            auto* item = new QListWidgetItem(QStringLiteral("%1（%2）").arg(hits.names.at(i), hits.ids.at(i)),
                                             m_list[side]);
            item->setData(Qt::UserRole, hits.ids.at(i));
        }
        if (hits.size() == 1)
            m_list[side]->setCurrentRow(0);
    });
}

void MergeScreen::merge() {
    const QListWidgetItem* a = m_list[0]->currentItem();
    const QListWidgetItem* b = m_list[1]->currentItem();
    if (!a || !b) {
        m_prompter.inform(QStringLiteral("統合する顧客を 2 件選んでください"));
        return;
    }
    const bool keep_first = m_keep[0]->isChecked();
    const QString kept = (keep_first ? a : b)->data(Qt::UserRole).toString();
    const QString other = (keep_first ? b : a)->data(Qt::UserRole).toString();
    guarded(m_prompter, [&] {
        if (!m_prompter.ask_yes_no(merge_question(plan_merge(*m_session.db, kept, other))))
            return;
        const MergePlan done = merge_customers(*m_session.db, kept, other, m_session.current_employee);
        m_prompter.inform(
            QStringLiteral("統合しました。「%1」は削除済みデータから元に戻せます。").arg(done.other_name));
        for (QListWidget* list : m_list)
            list->clear();
        for (QLineEdit* find : m_find)
            find->clear();
        emit merged(done.kept_id, done.other_id);
    });
}
