// The main window: it owns the four parts built in the files beside this one (menu, search frame,
// customer frame, links and history) and runs the menu's actions.
#include "ui/customers/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>

#include "app/session.h"
#include "ui/app/version_dialog.h"
#include "ui/common/guard.h"
#include "ui/common/help_window.h"
#include "ui/common/prompter.h"
#include "ui/records/chart_widget.h"

namespace {

const QString kNotReady = QStringLiteral("この機能は準備中です");

}  // namespace

// ---- ClickLabel

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(event);
}

void ClickLabel::enterEvent(QEnterEvent* event) {
    emit hovered();
    QLabel::enterEvent(event);
}

// ---- MainWindow

MainWindow::MainWindow(Session& session, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("営業手帳 V9.21"));
    build_menu();

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(build_search_frame(), 0, 0, 2, 1);
    grid->addWidget(build_customer_frame(), 0, 1);
    grid->addWidget(build_links(), 1, 1, Qt::AlignTop);
    grid->addWidget(build_history_frame(), 2, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(central);

    // Before a customer is shown only "新規顧客追加" is offered.
    hide_customer_controls();
    resize(1180, 780);
    center_form(this);
    m_help = new HelpDesk(m_session.program_folder, m_prompter, this);
    add_keys();
}

MainWindow::~MainWindow() = default;

void MainWindow::set_row_highlight(const QVector<ClickLabel*>& row, ClickLabel* hovered) {
    for (ClickLabel* l : row) {
        QString style = l->styleSheet();
        static const QRegularExpression bg(QStringLiteral("background-color: rgb\\([0-9, ]+\\);"));
        style.replace(bg, l == hovered ? QStringLiteral("background-color: rgb(200,100,100);")
                                       : QStringLiteral("background-color: rgb(255,255,255);"));
        l->setStyleSheet(style);
    }
}

void MainWindow::not_ready() {
    m_prompter.inform(kNotReady);
}

void MainWindow::show_status(const QString& text) {
    statusBar()->showMessage(text, 15000);
}

void MainWindow::set_action(const QString& name, std::function<void()> action) {
    m_actions.insert(name, std::move(action));
}

void MainWindow::run_action(const QString& name) {
    const auto it = m_actions.constFind(name);
    if (it == m_actions.constEnd() || !*it) {
        not_ready();
        return;
    }
    guarded(m_prompter, *it);
}

void MainWindow::open_help() {
    // In a window of the program: no browser is needed.
    m_help->open();
}

void MainWindow::open_version() {
    if (!m_version)
        m_version = new VersionDialog(m_prompter, this);
    m_version->show();
    m_version->raise();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}
