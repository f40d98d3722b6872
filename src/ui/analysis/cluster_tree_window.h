#pragma once

#include <QHash>
#include <QSet>
#include <QWidget>

class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QLineEdit;
class QVBoxLayout;
class Prompter;
class Session;

// The result tree shared by the cluster screen and the ABC screens: TreeView1 with keyed nodes, the
// collection list List1 ("選択された顧客") and the buttons 閉じる, クリア and 同報メールへ追加.
// A click on a node appends the texts of its children to List1; nothing is removed or de-duplicated.
// The buttons only hide the window; the window's own close control discards it, so the next opening
// computes afresh.
class ClusterTreeWindow : public QWidget {
    Q_OBJECT
public:
    ClusterTreeWindow(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Computes the analysis and fills the window; called once, when the window is made.
    virtual void load() = 0;

    // Appends the texts of the children of the node with this key to List1.
    void ReadNodes(const QString& key);
    QString node_text(const QString& key) const;
    int child_count(const QString& key) const;

protected:
    void clear_tree();
    // An empty parent key adds a top-level node (the root).
    void add_node(const QString& parent_key, const QString& key, const QString& text);
    void expand(const QString& key);
    // Marks a node that has children to come: it shows an expander, and fill_children adds them
    // when it is expanded or read for the first time.
    void defer_children(const QString& key);
    virtual void fill_children(const QString& key) { Q_UNUSED(key); }
    // Where a screen puts its own captions and boxes, above the tree.
    QVBoxLayout* info_area() const { return m_info; }
    // The ABC screens' period row "期間 [start] ～" and their class captions (Label2 onwards, in rows
    // of columns); returns the start box.
    QLineEdit* add_period_box();
    void add_class_captions(const QStringList& captions, int columns);
    void closeEvent(QCloseEvent* event) override;

    Session& m_session;
    Prompter& m_prompter;

private:
    void tree_clicked();
    void ensure_children(const QString& key);
    void add_to_mailing_list();

    QTreeWidget* m_tree = nullptr;
    QListWidget* m_list = nullptr;
    QVBoxLayout* m_info = nullptr;
    QHash<QString, QTreeWidgetItem*> m_nodes;
    QSet<QString> m_deferred;
};
