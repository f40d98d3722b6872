#include "ui/customers/deleted_rows_screen.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "customers/customer_copies.h"
#include "db/deleted_rows.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

DeletedRowsScreen::DeletedRowsScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("deleted_rows"));
    setWindowTitle(QStringLiteral("削除済みデータ"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QTableWidget(0, 6);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("削除日時"), QStringLiteral("種類"),
                                       QStringLiteral("データ"), QStringLiteral("キー"),
                                       QStringLiteral("内容"), QStringLiteral("社員")});
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    m_list->setMinimumSize(760, 320);
    layout->addWidget(m_list, 1);

    auto* row = new QHBoxLayout;
    auto* days_label = new QLabel(QStringLiteral("保存日数（これより古いものは起動時に消去）"));
    m_days = new QSpinBox;
    m_days->setObjectName(QStringLiteral("keepDays"));
    m_days->setRange(0, 3650);
    m_days->setSuffix(QStringLiteral(" 日"));
    auto* save_days = new QPushButton(QStringLiteral("日数を保存"));
    save_days->setObjectName(QStringLiteral("saveDaysB"));
    auto* restore = new QPushButton(QStringLiteral("元に戻す"));
    restore->setObjectName(QStringLiteral("restoreB"));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("cancelB"));
    row->addWidget(days_label);
    row->addWidget(m_days);
    row->addWidget(save_days);
    row->addStretch(1);
    row->addWidget(restore);
    row->addWidget(close);
    layout->addLayout(row);
    connect(save_days, &QPushButton::clicked, this, &DeletedRowsScreen::save_days);
    connect(restore, &QPushButton::clicked, this, &DeletedRowsScreen::restore);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({}, close);
    resize(860, 420);
    center_form(this);
}

void DeletedRowsScreen::showEvent(QShowEvent* event) {
    refresh();
    EntryWindow::showEvent(event);
}

void DeletedRowsScreen::refresh() {
    guarded(m_prompter, [&] {
        const QVector<DeletedEntry> entries = list_deleted_rows(*m_session.db);
        m_days->setValue(deleted_rows_keep_days(*m_session.db));
        m_list->setRowCount(0);
        m_list->setRowCount(int(entries.size()));
        for (int r = 0; r < entries.size(); ++r) {
            const DeletedEntry& e = entries.at(r);
            const QStringList cells{e.deleted_at, e.kind, e.table, e.key, e.summary, e.employee};
            for (int c = 0; c < cells.size(); ++c) {
                auto* item = new QTableWidgetItem(cells.at(c));
                item->setData(Qt::UserRole, e.id);
                m_list->setItem(r, c, item);
            }
        }
        m_list->resizeColumnsToContents();
    });
}

void DeletedRowsScreen::restore() {
    const QTableWidgetItem* item = m_list->item(m_list->currentRow(), 0);
    if (!item) {
        m_prompter.inform(QStringLiteral("元に戻すデータを一覧から選んでください"));
        return;
    }
    const QString table = m_list->item(item->row(), 2)->text();
    const QString key = m_list->item(item->row(), 3)->text();
    const QString what = QStringLiteral("%1（%2 %3）").arg(m_list->item(item->row(), 4)->text(), table, key);
    guarded(m_prompter, [&] {
        const QString refused = restore_deleted_entry(*m_session.db, item->data(Qt::UserRole).toString());
        if (!refused.isEmpty()) {
            m_prompter.inform(refused);
            return;
        }
        m_prompter.inform(QStringLiteral("元に戻しました：") + what);
        emit restored(table, key);
    });
    refresh();
}

void DeletedRowsScreen::save_days() {
    if (guarded(m_prompter, [&] { set_deleted_rows_keep_days(*m_session.db, m_days->value()); }))
        m_prompter.inform(
            QStringLiteral("保存日数を %1 日にしました（次の起動から使われます）").arg(m_days->value()));
}
