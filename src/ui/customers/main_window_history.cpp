// The main window's entry links and its history frame: the one-year chart with its legend.

#include "ui/customers/main_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/session.h"
#include "customers/history_chart.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/records/chart_widget.h"

namespace {

const QStringList kLinkCaptions = {"受注登録",   "案件見積登録", "訪問登録",
                                   "問い合わせ", "クレーム",     "原価登録"};
const QStringList kLegendCaptions = {"受注", "案件見積", "訪問", "問い合わせ", "クレーム", "原価"};
// Legend colours match the chart's marks.
const QColor kLegendColours[6] = {QColor(0, 170, 0),   QColor(0, 0, 255), QColor(0, 190, 190),
                                  QColor(190, 190, 0), QColor(255, 0, 0), QColor(0, 0, 0)};

}  // namespace

QWidget* MainWindow::build_links() {
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("Links"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < 6; ++k) {
        auto* link = new ClickLabel(kLinkCaptions.at(k));
        link->setObjectName(QStringLiteral("Label4_%1").arg(k));
        link->setAlignment(Qt::AlignCenter);
        link->setFrameShape(QFrame::Box);
        link->setAutoFillBackground(true);
        link->setFixedSize(110, 32);
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("background-color: rgb(255,255,255);"));
        m_links << link;
        row->addWidget(link);
        connect(link, &ClickLabel::clicked, this, [this, k] {
            if (refuse_without_customer())
                return;
            if (m_entry_opener)
                m_entry_opener(k);
            else
                not_ready();
        });
        connect(link, &ClickLabel::hovered, this, [this, link] { set_row_highlight(m_links, link); });
    }
    row->addStretch(1);
    return box;
}

QWidget* MainWindow::build_history_frame() {
    auto* frame = new QGroupBox(QStringLiteral("履歴"));
    frame->setObjectName(QStringLiteral("Frame3"));
    auto* layout = new QVBoxLayout(frame);
    m_label8 = new QLabel(QStringLiteral("1年間の履歴図"));
    m_label8->setObjectName(QStringLiteral("Label8"));
    layout->addWidget(m_label8);
    auto* row = new QHBoxLayout;
    m_chart = new ChartWidget;
    m_status = m_chart;
    m_status->setMinimumSize(700, 180);
    row->addWidget(m_status, 1);
    auto* legend = new QVBoxLayout;
    for (int k = 0; k < 6; ++k) {
        auto* item = new ClickLabel(kLegendCaptions.at(k));
        item->setObjectName(QStringLiteral("Label2_%1").arg(k));
        item->setAutoFillBackground(true);
        item->setMinimumWidth(90);
        item->setCursor(Qt::PointingHandCursor);
        item->setStyleSheet(
            QStringLiteral("background-color: rgb(255,255,255); color: %1;").arg(kLegendColours[k].name()));
        m_legend << item;
        legend->addWidget(item);
        connect(item, &ClickLabel::clicked, this, [this, k] {
            m_session.selected_table = k;
            m_session.selected_field_count =
                k < m_session.table_items.size() ? m_session.table_items.at(k).field_count : 0;
            if (m_legend_opener)
                guarded(m_prompter, [&] { m_legend_opener(k); });
            else
                not_ready();
        });
        connect(item, &ClickLabel::hovered, this, [this, item] { set_row_highlight(m_legend, item); });
    }
    legend->addStretch(1);
    row->addLayout(legend);
    layout->addLayout(row, 1);
    return frame;
}

void MainWindow::show_employee_history() {
    m_label8->setText(m_session.current_employee);
    for (int k = 1; k <= 4; ++k)
        m_legend[k]->show();
    m_status->show();
    m_session.history_scope = 1;
    guarded(m_prompter, [&] {
        m_chart->set_chart(load_history(*m_session.db, HistoryFilter::employee(m_session.current_employee),
                                        m_session.clock.today()));
    });
}
