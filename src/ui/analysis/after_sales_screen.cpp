#include "ui/analysis/after_sales_screen.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "records/number_text.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"

namespace {

// The criteria in the order of FollowUp.
const char* const kCriteria[] = {"最終受注日", "最終訪問日", "受注商品"};

}  // namespace

AfterSalesScreen::AfterSalesScreen(Session& session, Prompter& prompter, QWidget* parent)
    : AnalysisWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("after_salesfrm"));
    setWindowTitle(QStringLiteral("アフターセールス"));

    m_criterion = new QComboBox;
    m_criterion->setObjectName(QStringLiteral("Combo1"));
    m_criterion->setPlaceholderText(QStringLiteral("選択してください"));
    for (const char* c : kCriteria)
        m_criterion->addItem(QString::fromUtf8(c));
    m_criterion->setCurrentIndex(-1);

    m_days = new QLineEdit(QStringLiteral("120"));
    m_days->setObjectName(QStringLiteral("Text1"));
    m_days->setAlignment(Qt::AlignRight);
    m_days->setMaximumWidth(70);

    m_goods_caption = new QLabel(QStringLiteral("商品"));
    m_goods_caption->setObjectName(QStringLiteral("Label3"));
    m_goods_box = new QComboBox;
    m_goods_box->setObjectName(QStringLiteral("Combo2"));
    m_goods_box->setPlaceholderText(QStringLiteral("選択してください"));
    m_goods_box->setMinimumWidth(200);
    m_goods_caption->hide();
    m_goods_box->hide();

    auto* search_button = new QPushButton(QStringLiteral("検索"));
    search_button->setObjectName(QStringLiteral("Command1"));
    auto* back_button = new QPushButton(QStringLiteral("戻る"));
    back_button->setObjectName(QStringLiteral("Command2"));

    auto* frame = new QGroupBox(QStringLiteral("検索条件 "));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* conditions = new QGridLayout(frame);
    conditions->addWidget(m_criterion, 0, 0);
    auto* days_row = new QHBoxLayout;
    days_row->addWidget(m_days);
    days_row->addWidget(new QLabel(QStringLiteral("日以上経過している")));
    days_row->addStretch();
    conditions->addLayout(days_row, 0, 1);
    auto* goods_row = new QHBoxLayout;
    goods_row->addWidget(m_goods_caption);
    goods_row->addWidget(m_goods_box, 1);
    conditions->addLayout(goods_row, 1, 0, 1, 2);
    conditions->addWidget(search_button, 0, 2);

    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("List2"));
    install_list_tools(m_list, m_session, m_prompter, QStringLiteral("顧客名"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back_button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(520, 520);

    connect(m_criterion, &QComboBox::currentIndexChanged, this, &AfterSalesScreen::criterion_chosen);
    connect(search_button, &QPushButton::clicked, this,
            [this] { guarded(m_prompter, [this] { search(); }); });
    connect(back_button, &QPushButton::clicked, this, &QWidget::hide);
}

void AfterSalesScreen::load() {
    guarded(m_prompter, [this] {
        m_goods = goods_choice(*m_session.db);
        m_goods_box->clear();
        m_goods_box->addItems(m_goods.names);
        m_goods_box->setCurrentIndex(-1);
    });
}

void AfterSalesScreen::criterion_chosen(int index) {
    const bool goods = index == int(FollowUp::OrderedGoods);
    m_goods_caption->setVisible(goods);
    m_goods_box->setVisible(goods);
}

void AfterSalesScreen::search() {
    const int criterion = m_criterion->currentIndex();
    if (criterion < 0)
        return;
    if (criterion == int(FollowUp::OrderedGoods)) {
        const QString id = m_goods.ids.value(m_goods_box->currentIndex());
        if (id.isEmpty()) {
            m_prompter.inform(QStringLiteral("商品を選択してください"));
            return;
        }
        m_list->clear();
        m_list->addItems(customers_of_goods(*m_session.db, id));
        return;
    }
    const std::optional<qint64> days = follow_up_days(m_days->text());
    if (!days) {
        m_prompter.inform(kNumberMessage);
        m_days->setFocus();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QDate today = m_session.clock.today();
    QStringList entries;
    try {
        entries = criterion == int(FollowUp::LastOrder)
                      ? customers_without_recent_orders(*m_session.db, today, *days)
                      : customers_without_recent_visits(*m_session.db, today, *days);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    m_list->clear();
    m_list->addItems(entries);
}
