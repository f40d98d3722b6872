#include "ui/records/order_screen.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "records/number_text.h"
#include "ui/common/figure_text.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

namespace {

const QStringList kHeaderCaptions = {"社員", "受注日", "名称", "受注金額", "消費税", "値引き"};
constexpr int kAmountBox = 3;
constexpr int kDiscountBox = 5;

QPushButton* make_button(const char* name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLabel* make_value_label(const char* name) {
    auto* l = new QLabel;
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(120);
    return l;
}

}  // namespace

OrderScreen::OrderScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("order"));
    setWindowTitle(QStringLiteral("受注"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(build_header());
    m_frame2 = build_lines();
    layout->addWidget(m_frame2, 1);

    auto* buttons = new QHBoxLayout;
    QPushButton* save_button = make_button("Command2", QStringLiteral("保存"));
    QPushButton* close_button = make_button("Command1", QStringLiteral("閉じる"));
    buttons->addStretch(1);
    buttons->addWidget(save_button);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);
    connect(save_button, &QPushButton::clicked, this, &OrderScreen::save);
    connect(close_button, &QPushButton::clicked, this, &OrderScreen::close_screen);
    set_key_buttons({save_button}, close_button);

    m_text1[0]->setText(m_session.current_employee);
    m_text1[1]->setText(m_session.clock.today_text());
    m_text1[kAmountBox]->setText(QStringLiteral("0"));
    m_text1[4]->setText(m_session.tax_rate);
    m_label2->setText(m_session.current_customer_name);
    // Without goods trade the amount is typed by hand and there are no lines.
    m_frame2->setVisible(m_session.sells_goods());
    fill_goods_list();

    adjustSize();
    center_form(this);
}

QWidget* OrderScreen::build_header() {
    auto* frame = new QGroupBox;
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame);

    grid->addWidget(new QLabel(QStringLiteral("顧客名")), 0, 0);
    m_label2 = make_value_label("Label2");
    grid->addWidget(m_label2, 0, 1, 1, 3);

    for (int i = 0; i < kHeaderCaptions.size(); ++i) {
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        m_text1 << box;
        const int row = 1 + i / 2;
        const int column = (i % 2) * 2;
        grid->addWidget(new QLabel(kHeaderCaptions.at(i)), row, column);
        grid->addWidget(box, row, column + 1);
        connect(box, &QLineEdit::returnPressed, this,
                [this, i] { m_text1.at((i + 1) % m_text1.size())->setFocus(); });
    }
    m_text1[kAmountBox]->setAlignment(Qt::AlignRight);
    m_text1[kDiscountBox]->setAlignment(Qt::AlignRight);
    separate_thousands_on_leave(m_text1[kAmountBox]);
    separate_thousands_on_leave(m_text1[kDiscountBox]);
    return frame;
}

QGroupBox* OrderScreen::build_lines() {
    auto* frame = new QGroupBox(QStringLiteral("明細"));
    frame->setObjectName(QStringLiteral("Frame2"));
    auto* row = new QHBoxLayout(frame);

    auto* goods = new QVBoxLayout;
    auto* hint = new QLabel(QStringLiteral("商品を選んでクリック"));
    hint->setObjectName(QStringLiteral("Label6"));
    goods->addWidget(hint);
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setMinimumWidth(180);
    goods->addWidget(m_list1, 1);
    row->addLayout(goods);
    connect(m_list1, &QListWidget::itemClicked, this, &OrderScreen::goods_chosen);

    auto* entry = new QGridLayout;
    m_label5 = make_value_label("Label5");
    m_label7 = make_value_label("Label7");
    m_label7->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_text2 = new QLineEdit;
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setAlignment(Qt::AlignRight);
    m_label3 = make_value_label("Label3");
    m_label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    entry->addWidget(new QLabel(QStringLiteral("商品")), 0, 0);
    entry->addWidget(m_label5, 0, 1);
    entry->addWidget(new QLabel(QStringLiteral("単価")), 1, 0);
    entry->addWidget(m_label7, 1, 1);
    entry->addWidget(new QLabel(QStringLiteral("数量")), 2, 0);
    entry->addWidget(m_text2, 2, 1);
    entry->addWidget(new QLabel(QStringLiteral("小計")), 3, 0);
    entry->addWidget(m_label3, 3, 1);
    QPushButton* add_button = make_button("Command3", QStringLiteral("追加"));
    QPushButton* remove_button = make_button("Command4", QStringLiteral("削除"));
    entry->addWidget(add_button, 4, 0);
    entry->addWidget(remove_button, 4, 1);
    entry->setRowStretch(5, 1);
    row->addLayout(entry);
    connect(m_text2, &QLineEdit::textChanged, this, &OrderScreen::quantity_changed);
    connect(add_button, &QPushButton::clicked, this, &OrderScreen::add_line);
    connect(remove_button, &QPushButton::clicked, this, &OrderScreen::remove_line);

    // Goods key, name, quantity, subtotal, under their headings.
    m_grid = new QTableWidget(0, 4);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setHorizontalHeaderLabels(
        {QStringLiteral("商品ID"), QStringLiteral("商品名"), QStringLiteral("数量"), QStringLiteral("小計")});
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    show_figures(m_grid, {Figure::Key, Figure::Text, Figure::Number, Figure::Yen});
    m_grid->setColumnWidth(0, 50);
    m_grid->setColumnWidth(1, 160);
    m_grid->setColumnWidth(2, 60);
    m_grid->setColumnWidth(3, 90);
    m_grid->setMinimumWidth(380);
    row->addWidget(m_grid, 1);
    return frame;
}

void OrderScreen::fill_goods_list() {
    m_list1->clear();
    guarded(m_prompter, [&] {
        for (const GoodsItem& goods : load_goods_list(*m_session.db)) {
            auto* item = new QListWidgetItem(goods.name, m_list1);
            item->setData(Qt::UserRole, goods.id);
        }
    });
}

void OrderScreen::reopen() {
    m_label2->setText(m_session.current_customer_name);
}

void OrderScreen::goods_chosen(QListWidgetItem* item) {
    if (!item)
        return;
    guarded(m_prompter, [&] {
        m_goods = load_goods(*m_session.db, item->data(Qt::UserRole).toString());
        m_label5->setText(m_goods ? m_goods->name : QString());
        m_label7->setText(m_goods ? shown_cell(m_goods->price, Figure::Number).text : QString());
        m_label3->clear();
        // Through "0" so that the subtotal is recomputed even when the quantity already reads 1.
        m_text2->setText(QStringLiteral("0"));
        m_text2->setText(QStringLiteral("1"));
    });
}

void OrderScreen::quantity_changed() {
    // With separators, as the line grid and the amount box show the same figure.
    const std::optional<QString> subtotal =
        m_goods ? line_subtotal(m_goods->price, m_text2->text()) : std::optional<QString>();
    m_label3->setText(subtotal ? shown_cell(*subtotal, Figure::Yen).text : QString());
}

void OrderScreen::add_line() {
    if (!m_goods)
        return;  // nothing chosen yet
    const std::optional<OrderLine> line = make_order_line(*m_goods, m_text2->text());
    if (!line) {
        m_prompter.inform(kNumberMessage);
        return;
    }
    m_lines << *line;
    show_lines();
    m_text1[kAmountBox]->setText(order_amount_text(m_lines));
}

void OrderScreen::remove_line() {
    const int row = m_grid->currentRow();
    if (row < 0 || row >= m_lines.size() || m_grid->selectedItems().isEmpty())
        return;
    m_lines.removeAt(row);
    show_lines();
    m_text1[kAmountBox]->setText(order_amount_text(m_lines));
}

void OrderScreen::show_lines() {
    m_grid->clearContents();
    m_grid->setRowCount(m_lines.size());
    for (int r = 0; r < m_lines.size(); ++r) {
        const OrderLine& line = m_lines.at(r);
        const QStringList cells{line.goods_id, line.goods_name, line.quantity, line.subtotal};
        for (int c = 0; c < cells.size(); ++c) {
            m_grid->setItem(r, c, new QTableWidgetItem(cells.at(c)));
        }
    }
}

void OrderScreen::save() {
    OrderForm form;
    form.customer_id = m_session.current_customer_id;
    form.customer_name = m_session.current_customer_name;
    form.employee = m_text1[0]->text();
    form.date = m_text1[1]->text();
    form.title = m_text1[2]->text();
    form.amount = m_text1[kAmountBox]->text();
    form.tax_rate = m_text1[4]->text();
    form.discount = m_text1[kDiscountBox]->text();
    form.lines = m_lines;

    QStringList messages;
    const bool ran =
        guarded(m_prompter, [&] { messages = save_order(*m_session.db, form, m_session.clock.today()); });
    m_text1[1]->setText(form.date);
    for (const QString& message : messages)
        m_prompter.inform(message);
    if (ran && messages.isEmpty()) {
        hide();
        emit saved(saved_text(QStringLiteral("受注"), form.customer_name));
    }
}

void OrderScreen::close_screen() {
    m_text1[2]->clear();
    m_text1[kAmountBox]->clear();
    m_text1[kDiscountBox]->clear();
    m_lines.clear();
    show_lines();
    hide();
}
