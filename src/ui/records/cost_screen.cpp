#include "ui/records/cost_screen.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/session.h"
#include "records/cost_entry.h"
#include "ui/common/figure_text.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

namespace {

// Column widths in twips, at 15 twips to a pixel.
constexpr int kColumnWidths[4] = {1000 / 15, 1000 / 15, 2000 / 15, 1500 / 15};
constexpr int kGridWidth = 5550 / 15;

}  // namespace

CostScreen::CostScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("genka"));
    setWindowTitle(QStringLiteral("原価"));
    auto* layout = new QVBoxLayout(this);

    auto* chosen = new QGridLayout;
    const QStringList captions{"顧客名", "受注番号", "受注名称"};
    for (int i = 0; i < 3; ++i) {
        auto* value = new QLabel;
        value->setObjectName(QStringLiteral("Label2_%1").arg(i));
        value->setFrameShape(QFrame::Panel);
        value->setFrameShadow(QFrame::Sunken);
        value->setMinimumWidth(200);
        m_label2 << value;
        chosen->addWidget(new QLabel(captions.at(i)), i, 0);
        chosen->addWidget(value, i, 1);
    }
    layout->addLayout(chosen);

    auto* hint = new QLabel(kChooseOrderMessage);
    hint->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(hint);

    m_grid = new QTableWidget(0, 4);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setHorizontalHeaderLabels({"受注番号", "受注部", "名称", "受注金額"});
    show_figures(m_grid, {Figure::Key, Figure::Text, Figure::Text, Figure::Yen});
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int c = 0; c < 4; ++c)
        m_grid->setColumnWidth(c, kColumnWidths[c]);
    m_grid->setFixedWidth(kGridWidth + 2 * m_grid->frameWidth() + 20);
    m_grid->setMinimumHeight(180);
    layout->addWidget(m_grid, 1);
    connect(m_grid, &QTableWidget::cellClicked, this, [this](int row, int) { order_chosen(row); });

    m_frame1 = new QGroupBox;
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    auto* entry = new QGridLayout(m_frame1);
    m_combo2 = new QComboBox;
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setPlaceholderText(QStringLiteral("選択してください"));
    m_combo2->setMinimumWidth(200);
    entry->addWidget(m_combo2, 0, 1);
    auto box = [&](int index, const QString& caption) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("Text1_%1").arg(index));
        entry->addWidget(new QLabel(caption), index, 0);
        entry->addWidget(edit, index, 1);
        return edit;
    };
    m_date = box(1, QStringLiteral("登録日"));
    m_name = box(2, QStringLiteral("名称"));
    m_amount = box(3, QStringLiteral("金額"));
    m_amount->setAlignment(Qt::AlignRight);
    separate_thousands_on_leave(m_amount);
    auto* save_button = new QPushButton(QStringLiteral("保存"));
    save_button->setObjectName(QStringLiteral("Command2"));
    entry->addWidget(save_button, 4, 1, Qt::AlignRight);
    layout->addWidget(m_frame1);
    connect(m_combo2, &QComboBox::currentIndexChanged, this, &CostScreen::cost_name_chosen);
    connect(save_button, &QPushButton::clicked, this, &CostScreen::save);

    // Outside the entry frame, so the screen can be closed before an order is chosen.
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(close_button, 0, Qt::AlignRight);
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
    set_key_buttons({save_button}, close_button);

    m_date->setText(m_session.clock.today_text());
    fill_cost_names();
    m_frame1->hide();
    reopen();

    adjustSize();
    center_form(this);
}

void CostScreen::reopen() {
    m_label2[0]->setText(m_session.current_customer_name);
    if (m_session.current_customer_id != m_listed_customer) {
        m_label2[1]->clear();
        m_label2[2]->clear();
        m_frame1->hide();
    }
    fill_orders();
}

void CostScreen::fill_orders() {
    m_grid->setRowCount(0);
    m_listed_customer = m_session.current_customer_id;
    guarded(m_prompter, [&] {
        const QVector<CostOrder> orders = load_customer_orders(*m_session.db, m_listed_customer);
        m_grid->setRowCount(orders.size());
        for (int r = 0; r < orders.size(); ++r) {
            const CostOrder& order = orders.at(r);
            const QStringList cells{order.id, order.date, order.title, order.amount};
            for (int c = 0; c < cells.size(); ++c) {
                m_grid->setItem(r, c, new QTableWidgetItem(cells.at(c)));
            }
        }
    });
    // Columns fit their contents (dates, long titles), never narrower than designed.
    int width = 0;
    for (int c = 0; c < 4; ++c) {
        m_grid->resizeColumnToContents(c);
        const int fit = std::max(kColumnWidths[c], m_grid->columnWidth(c));
        m_grid->setColumnWidth(c, fit);
        width += fit;
    }
    m_grid->setFixedWidth(width + 2 * m_grid->frameWidth() + m_grid->verticalScrollBar()->sizeHint().width());
}

void CostScreen::fill_cost_names() {
    // Filling would otherwise pick the first name and copy it into the name box.
    const QSignalBlocker blocker(m_combo2);
    m_combo2->clear();
    guarded(m_prompter, [&] { m_combo2->addItems(load_cost_names(*m_session.db)); });
    m_combo2->setCurrentIndex(-1);
}

void CostScreen::order_chosen(int row) {
    const QTableWidgetItem* key = m_grid->item(row, 0);
    const QTableWidgetItem* title = m_grid->item(row, 2);
    if (!key)
        return;
    m_label2[1]->setText(key->text());
    m_label2[2]->setText(title ? title->text() : QString());
    m_frame1->show();
}

void CostScreen::cost_name_chosen(int index) {
    if (index >= 0)
        m_name->setText(m_combo2->itemText(index));
}

void CostScreen::save() {
    // Booked to the customer whose orders are listed, which the chosen order key belongs to.
    CostForm form{m_listed_customer, m_label2[1]->text(), m_date->text(), m_name->text(), m_amount->text()};
    QStringList messages;
    const bool ran =
        guarded(m_prompter, [&] { messages = save_cost(*m_session.db, form, m_session.clock.today()); });
    m_date->setText(form.date);
    for (const QString& message : messages)
        m_prompter.inform(message);
    if (ran && messages.isEmpty())
        emit saved(saved_text(QStringLiteral("原価"), m_label2[0]->text()));
}
