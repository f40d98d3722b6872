#include "ui/sync/conflict_dialog.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kGone = QStringLiteral("（削除されています）");

QString shown_value(const QStringList& values, const QVector<bool>& nulls, int i) {
    return nulls.value(i) ? QStringLiteral("（なし）") : values.value(i);
}

}  // namespace

ConflictDialog::ConflictDialog(const SyncConflict& conflict, QWidget* parent)
    : QDialog(parent), m_conflict(conflict) {
    setObjectName(QStringLiteral("sync_conflict"));
    setWindowTitle(QStringLiteral("同期の競合"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(conflict.caption + QStringLiteral("\n") + conflict.description());
    caption->setObjectName(QStringLiteral("Label1"));
    caption->setWordWrap(true);
    layout->addWidget(caption);

    const QStringList differing = conflict.differing_columns();
    m_fields = new QTableWidget(int(conflict.columns.size()), 4);
    m_fields->setObjectName(QStringLiteral("fieldsT"));
    m_fields->setHorizontalHeaderLabels({QStringLiteral("項目"), QStringLiteral("ノートPC"),
                                         QStringLiteral("事務所"), QStringLiteral("採用")});
    m_fields->verticalHeader()->hide();
    m_fields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fields->setSelectionMode(QAbstractItemView::NoSelection);
    m_fields->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_fields->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    for (int r = 0; r < conflict.columns.size(); ++r) {
        const QString& column = conflict.columns.at(r);
        const bool differs = differing.contains(column);
        const QStringList cells = {
            column,
            conflict.laptop_exists ? shown_value(conflict.laptop, conflict.laptop_nulls, r) : kGone,
            conflict.office_exists ? shown_value(conflict.office, conflict.office_nulls, r) : kGone,
        };
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (differs) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(QColor(255, 236, 179));
            }
            m_fields->setItem(r, c, item);
        }
        auto* choice = new QWidget;
        auto* row = new QHBoxLayout(choice);
        row->setContentsMargins(4, 0, 4, 0);
        auto* laptop = new QRadioButton(QStringLiteral("ノートPC"));
        laptop->setObjectName(QStringLiteral("laptop_") + column);
        auto* office = new QRadioButton(QStringLiteral("事務所"));
        office->setObjectName(QStringLiteral("office_") + column);
        auto* group = new QButtonGroup(choice);
        group->addButton(laptop);
        group->addButton(office);
        (differs ? laptop : office)->setChecked(true);
        row->addWidget(laptop);
        row->addWidget(office);
        choice->setEnabled(conflict.fields_choosable() && differs);
        m_fields->setCellWidget(r, 3, choice);
        m_take_laptop << laptop;
    }
    m_fields->resizeColumnToContents(0);
    m_fields->resizeColumnToContents(3);
    m_fields->setMinimumSize(680, 300);
    layout->addWidget(m_fields, 1);

    auto* buttons = new QHBoxLayout;
    auto* laptop = new QPushButton(QStringLiteral("ノートPCの内容を採用(&L)"));
    laptop->setObjectName(QStringLiteral("laptopB"));
    auto* office = new QPushButton(QStringLiteral("事務所の内容を採用(&O)"));
    office->setObjectName(QStringLiteral("officeB"));
    auto* fields = new QPushButton(QStringLiteral("選んだ項目で採用(&F)"));
    fields->setObjectName(QStringLiteral("fieldsB"));
    fields->setEnabled(conflict.fields_choosable());
    auto* later = new QPushButton(QStringLiteral("今回は送らない(&S)"));
    later->setObjectName(QStringLiteral("laterB"));
    buttons->addWidget(laptop);
    buttons->addWidget(office);
    buttons->addWidget(fields);
    buttons->addStretch(1);
    buttons->addWidget(later);
    layout->addLayout(buttons);
    connect(laptop, &QPushButton::clicked, this, [this] { choose(SyncDecision::Laptop); });
    connect(office, &QPushButton::clicked, this, [this] { choose(SyncDecision::Office); });
    connect(fields, &QPushButton::clicked, this, [this] { choose(SyncDecision::Fields); });
    connect(later, &QPushButton::clicked, this, [this] { choose(SyncDecision::Stop); });
    resize(820, 480);
}

void ConflictDialog::choose(SyncDecision::Choice choice) {
    m_decision = SyncDecision{};
    m_decision.choice = choice;
    if (choice == SyncDecision::Fields)
        for (int r = 0; r < m_take_laptop.size(); ++r)
            if (m_take_laptop.at(r)->isChecked())
                m_decision.laptop_columns.insert(m_conflict.columns.at(r));
    accept();
}
