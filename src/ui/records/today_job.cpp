#include "ui/records/today_job.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "app/session.h"
#include "records/today_jobs.h"
#include "ui/common/figure_text.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"

namespace {

// Paints the tab-separated parts of an item (date and customer, title, amount) in aligned columns;
// plain tab stops are too narrow for Japanese names. The item's text itself stays as it is.
class TabColumnsDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QStringList parts = opt.text.split(QLatin1Char('\t'));
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QFontMetrics fm(opt.font);
        const int wide = fm.horizontalAdvance(QStringLiteral("国"));
        const int widths[3] = {fm.horizontalAdvance(QStringLiteral("0000/00/00 ")) + 12 * wide, 14 * wide,
                               fm.horizontalAdvance(QStringLiteral("000,000,000"))};
        const QRect r = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        painter->save();
        painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                             : QPalette::Text));
        int x = r.left() + 2;
        for (int i = 0; i < parts.size(); ++i) {
            const int w = widths[std::min(i, 2)];
            const QRect cell(x, r.top(), w - wide / 2, r.height());
            // The amount in whole yen with separators; the item keeps the stored value.
            const ShownCell shown = shown_cell(parts.at(i), i == 2 ? Figure::Yen : Figure::Text);
            painter->drawText(cell, shown.alignment, fm.elidedText(shown.text, Qt::ElideRight, cell.width()));
            x += w;
        }
        painter->restore();
    }
};

}  // namespace

TodayJobScreen::TodayJobScreen(Session& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("today_job"));
    setWindowTitle(QStringLiteral("最新情報"));

    auto* layout = new QVBoxLayout(this);
    auto* open = new QHBoxLayout;
    auto captioned = [this](const QString& caption, QListView* list) {
        auto* column = new QVBoxLayout;
        column->addWidget(new QLabel(caption));
        column->addWidget(list, 1);
        return column;
    };
    open->addLayout(
        captioned(QStringLiteral("未対応問い合わせ"), make_list(QStringLiteral("List1"), m_inquiries)));
    open->addLayout(
        captioned(QStringLiteral("未対応クレーム"), make_list(QStringLiteral("List2"), m_claims)));
    layout->addLayout(open, 1);

    auto* frame = new QGroupBox(QStringLiteral("最新情報"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame);
    auto* columns = new TabColumnsDelegate(this);
    QListView* orders = make_list(QStringLiteral("List3_0"), m_orders);
    QListView* estimates = make_list(QStringLiteral("List3_1"), m_estimates);
    orders->setItemDelegate(columns);
    estimates->setItemDelegate(columns);
    install_list_tools(findChild<QListView*>(QStringLiteral("List1")), m_session, m_prompter,
                       QStringLiteral("未対応問い合わせ"));
    install_list_tools(findChild<QListView*>(QStringLiteral("List2")), m_session, m_prompter,
                       QStringLiteral("未対応クレーム"));
    install_list_tools(orders, m_session, m_prompter, QStringLiteral("受注日 顧客名\t名称\t受注金額"));
    install_list_tools(estimates, m_session, m_prompter, QStringLiteral("提出日 顧客名\t名称\t見積もり金額"));
    grid->addWidget(new QLabel(QStringLiteral("受注")), 0, 0, Qt::AlignTop);
    grid->addWidget(orders, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("案件")), 1, 0, Qt::AlignTop);
    grid->addWidget(estimates, 1, 1);
    layout->addWidget(frame, 2);

    auto* buttons = new QHBoxLayout;
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    buttons->addStretch(1);
    buttons->addWidget(close_button);
    layout->addLayout(buttons);
    connect(close_button, &QPushButton::clicked, this, [this] {
        hide();
        emit closed();
    });

    resize(900, 640);
    center_form(this);
    fill();
}

QListView* TodayJobScreen::make_list(const QString& name, QStringListModel*& model) {
    model = new QStringListModel(this);
    auto* list = new QListView;
    list->setObjectName(name);
    list->setModel(model);
    // Every row has one line of text: no per-row measuring, whatever the row count.
    list->setUniformItemSizes(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

void TodayJobScreen::fill() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    guarded(m_prompter, [&] {
        TodayJobs jobs = load_today_jobs(*m_session.db);
        m_inquiries->setStringList(std::move(jobs.inquiries));
        m_claims->setStringList(std::move(jobs.claims));
        m_orders->setStringList(std::move(jobs.orders));
        m_estimates->setStringList(std::move(jobs.estimates));
    });
    QApplication::restoreOverrideCursor();
}

void TodayJobScreen::closeEvent(QCloseEvent* event) {
    // Closing this screen in any way leads on to the main window; otherwise no window would remain.
    event->accept();
    hide();
    emit closed();
}
