#include "ui/today_job.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>

#include "app/session.h"
#include "records/today_jobs.h"
#include "ui/guard.h"
#include "ui/prompter.h"

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
    grid->addWidget(new QLabel(QStringLiteral("受注")), 0, 0, Qt::AlignTop);
    grid->addWidget(make_list(QStringLiteral("List3_0"), m_orders), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("案件")), 1, 0, Qt::AlignTop);
    grid->addWidget(make_list(QStringLiteral("List3_1"), m_estimates), 1, 1);
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
