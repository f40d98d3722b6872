#include "ui/analysis/cluster_tree_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"

namespace {

QPushButton* make_button(const char* name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

}  // namespace

ClusterTreeWindow::ClusterTreeWindow(Session& session, Prompter& prompter, QWidget* parent)
    : QWidget(parent), m_session(session), m_prompter(prompter) {
    auto* layout = new QVBoxLayout(this);
    m_info = new QVBoxLayout;
    layout->addLayout(m_info);

    auto* body = new QHBoxLayout;
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setMinimumSize(320, 380);
    body->addWidget(m_tree, 3);

    auto* side = new QVBoxLayout;
    auto* caption = new QLabel(QStringLiteral("選択された顧客"));
    caption->setObjectName(QStringLiteral("Label1"));
    side->addWidget(caption);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setMinimumWidth(220);
    install_list_tools(m_tree, m_session, m_prompter, QStringLiteral("グループ"));
    install_list_tools(m_list, m_session, m_prompter, QStringLiteral("選択された顧客"));
    side->addWidget(m_list, 1);
    auto* add_button = make_button("Command3", QStringLiteral("同報メールへ追加"));
    auto* clear_button = make_button("Command2", QStringLiteral("クリア"));
    auto* close_button = make_button("Command1", QStringLiteral("閉じる"));
    side->addWidget(add_button);
    side->addWidget(clear_button);
    side->addWidget(close_button);
    body->addLayout(side, 2);
    layout->addLayout(body, 1);

    connect(m_tree, &QTreeWidget::itemClicked, this, &ClusterTreeWindow::tree_clicked);
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        guarded(m_prompter, [&] { ensure_children(item->data(0, Qt::UserRole).toString()); });
    });
    connect(add_button, &QPushButton::clicked, this, &ClusterTreeWindow::add_to_mailing_list);
    connect(clear_button, &QPushButton::clicked, m_list, &QListWidget::clear);
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);
}

void ClusterTreeWindow::clear_tree() {
    m_tree->clear();
    m_nodes.clear();
    m_deferred.clear();
}

void ClusterTreeWindow::defer_children(const QString& key) {
    if (QTreeWidgetItem* item = m_nodes.value(key)) {
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        m_deferred.insert(key);
    }
}

void ClusterTreeWindow::ensure_children(const QString& key) {
    if (!m_deferred.contains(key))
        return;
    fill_children(key);
    m_deferred.remove(key);  // only once filled: a refused statement leaves it for the next try
    if (QTreeWidgetItem* item = m_nodes.value(key))
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void ClusterTreeWindow::add_node(const QString& parent_key, const QString& key, const QString& text) {
    QTreeWidgetItem* parent = parent_key.isEmpty() ? nullptr : m_nodes.value(parent_key);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, text);
    item->setData(0, Qt::UserRole, key);
    m_nodes.insert(key, item);
}

void ClusterTreeWindow::expand(const QString& key) {
    if (QTreeWidgetItem* item = m_nodes.value(key))
        item->setExpanded(true);
}

QString ClusterTreeWindow::node_text(const QString& key) const {
    const QTreeWidgetItem* item = m_nodes.value(key);
    return item ? item->text(0) : QString();
}

int ClusterTreeWindow::child_count(const QString& key) const {
    const QTreeWidgetItem* item = m_nodes.value(key);
    return item ? item->childCount() : -1;
}

void ClusterTreeWindow::ReadNodes(const QString& key) {
    ensure_children(key);
    const QTreeWidgetItem* item = m_nodes.value(key);
    if (!item)
        return;
    for (int i = 0; i < item->childCount(); ++i)
        m_list->addItem(item->child(i)->text(0));
}

void ClusterTreeWindow::tree_clicked() {
    // The selected node counts, not where the pointer was.
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    if (selected.isEmpty())
        return;
    guarded(m_prompter, [&] { ReadNodes(selected.first()->data(0, Qt::UserRole).toString()); });
}

void ClusterTreeWindow::add_to_mailing_list() {
    for (int i = 0; i < m_list->count(); ++i)
        m_session.mailing_list << m_list->item(i)->text();
}

void ClusterTreeWindow::closeEvent(QCloseEvent* event) {
    // Only the window's own close control lands here; the buttons hide.
    setAttribute(Qt::WA_DeleteOnClose);
    QWidget::closeEvent(event);
}

QLineEdit* ClusterTreeWindow::add_period_box() {
    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("期間")));
    auto* start = new QLineEdit;
    start->setObjectName(QStringLiteral("Text1_0"));
    start->setMaximumWidth(110);
    period->addWidget(start);
    period->addWidget(new QLabel(QStringLiteral("～")));
    period->addStretch(1);
    m_info->addLayout(period);
    return start;
}

void ClusterTreeWindow::add_class_captions(const QStringList& captions, int columns) {
    auto* classes = new QGridLayout;
    for (int i = 0; i < captions.size(); ++i) {
        auto* label = new QLabel(captions.at(i));
        label->setObjectName(QStringLiteral("Label%1").arg(i + 2));
        classes->addWidget(label, i / columns, i % columns);
    }
    m_info->addLayout(classes);
}
