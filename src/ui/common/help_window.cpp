#include "ui/common/help_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "ui/common/prompter.h"

HelpWindow::HelpWindow(Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompter(prompter) {
    setObjectName(QStringLiteral("helpfrm"));
    setWindowTitle(QStringLiteral("営業手帳 ヘルプ"));
    auto* layout = new QVBoxLayout(this);

    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        bar->addWidget(b);
        return b;
    };
    QPushButton* back = button("backB", QStringLiteral("戻る"));
    QPushButton* forward = button("forwardB", QStringLiteral("進む"));
    QPushButton* home = button("homeB", QStringLiteral("目次"));
    bar->addSpacing(16);
    auto* find_label = new QLabel(QStringLiteral("検索(&S)"));
    m_find = new QLineEdit;
    m_find->setObjectName(QStringLiteral("findText"));
    m_find->setClearButtonEnabled(true);
    find_label->setBuddy(m_find);
    bar->addWidget(find_label);
    bar->addWidget(m_find, 1);
    QPushButton* next = button("findB", QStringLiteral("次を検索"));
    QPushButton* close = button("closeB", QStringLiteral("閉じる"));
    layout->addLayout(bar);

    m_browser = new QTextBrowser;
    m_browser->setObjectName(QStringLiteral("helpText"));
    // Links within the page are followed here; others go to the user's browser.
    m_browser->setOpenLinks(false);
    layout->addWidget(m_browser, 1);

    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    // The contents at the top of the page, whichever section the help was opened at.
    connect(home, &QPushButton::clicked, this, [this] {
        QUrl top = m_browser->source();
        top.setFragment(QStringLiteral("top"));
        m_browser->setSource(top);
    });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::link_clicked);
    connect(m_find, &QLineEdit::returnPressed, this, &HelpWindow::find_next);
    connect(next, &QPushButton::clicked, this, &HelpWindow::find_next);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* find_key = new QShortcut(QKeySequence::Find, this);
    connect(find_key, &QShortcut::activated, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    auto* close_key = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close_key, &QShortcut::activated, this, &QWidget::hide);
    back->setEnabled(false);
    forward->setEnabled(false);
    resize(900, 700);
}

void HelpWindow::show_page(const QString& path, const QString& anchor) {
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    // The same place again still scrolls there: the user may have scrolled away.
    if (m_browser->source() == url)
        m_browser->scrollToAnchor(anchor.isEmpty() ? QStringLiteral("top") : anchor);
    else
        m_browser->setSource(url);
}

bool HelpWindow::find_next() {
    const QString text = m_find->text();
    if (text.isEmpty())
        return false;
    if (m_browser->find(text))
        return true;
    // From the top again.
    QTextCursor cursor = m_browser->textCursor();
    cursor.movePosition(QTextCursor::Start);
    m_browser->setTextCursor(cursor);
    return m_browser->find(text);
}

void HelpWindow::link_clicked(const QUrl& url) {
    if (url.isLocalFile() || url.isRelative()) {
        m_browser->setSource(m_browser->source().resolved(url));
        return;
    }
    m_prompter.open_document(url);
}

// ---- HelpDesk

HelpDesk::HelpDesk(const QString& program_folder, Prompter& prompter, QWidget* main_window)
    : QObject(main_window), m_folder(program_folder), m_prompter(prompter), m_main(main_window) {
    qApp->installEventFilter(this);
}

HelpDesk::~HelpDesk() {
    qApp->removeEventFilter(this);
    delete m_window.data();
}

QString HelpDesk::anchor_for(const QString& window_name) {
    static const QHash<QString, QString> anchors = {
        {"main", "main"},
        {"today_job", "today"},
        {"frmLogin", "startup"},
        {"order", "order"},
        {"estimate", "estimate"},
        {"visit", "visit"},
        {"inquiry", "inquiry"},
        {"claim", "claim"},
        {"genka", "cost"},
        {"datalist", "records"},
        {"detailfrm", "records"},
        {"personfrm", "person"},
        {"goods", "goods"},
        {"company", "company"},
        {"deldata", "deldata"},
        {"deleted_rows", "deleted-rows"},
        {"merge_customers", "merge"},
        {"after_salesfrm", "after-order"},
        {"new_goods_sales", "campaign"},
        {"abc_custfrm", "abc-cust"},
        {"abc_goodsfrm", "abc-goods"},
        {"rfmfrm", "rfm"},
        {"clusterfrm", "cluster"},
        {"order2visitfrm", "order2visit"},
        {"order_rankfrm", "rank-cust"},
        {"goods_rankfrm", "rank-goods"},
        {"unread", "unread"},
        {"mail_template", "template"},
        {"mail_onefrm", "mailone"},
        {"versionfrm", "menu-help"},
        {"helpfrm", "help-window"},
        {"sync_conflict", "takeout-conflict"},
    };
    return anchors.value(window_name);
}

void HelpDesk::open(const QString& anchor) {
    const QString path = QDir(m_folder).filePath(QStringLiteral("help/index.html"));
    if (!QFileInfo::exists(path)) {
        m_prompter.inform(QStringLiteral("ヘルプファイルが見つかりません: ") +
                          QDir::toNativeSeparators(path));
        return;
    }
    const bool was_visible = m_window && m_window->isVisible();
    if (!m_window)
        m_window = new HelpWindow(m_prompter);
    m_window->show_page(path, anchor);
    m_window->show();
    if (was_visible)
        m_window->raise();
    m_window->activateWindow();
}

bool HelpDesk::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    // F1 in a message box or a file dialog opens the section of the window behind it.
    QWidget* window = widget->window();
    while (window->parentWidget() && anchor_for(window->objectName()).isEmpty())
        window = window->parentWidget()->window();
    open(anchor_for(window->objectName()));
    return true;
}
