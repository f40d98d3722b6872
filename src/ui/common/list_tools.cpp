#include "ui/common/list_tools.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QRegularExpression>
#include <QTableView>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <map>

#include "app/session.h"
#include "app/table_csv.h"
#include "print/print_job.h"
#include "ui/common/figure_text.h"
#include "ui/common/prompter.h"

namespace {

const char* const kToolsName = "list_tools";

// What install_list_tools keeps for a view; a child of the view, so it goes with it.
class ListTools : public QObject {
public:
    ListTools(QAbstractItemView* view, Session& session, Prompter& prompter, const QString& heading)
        : QObject(view), view(view), session(session), prompter(prompter), heading(heading) {
        setObjectName(QString::fromLatin1(kToolsName));
    }
    QAbstractItemView* view;
    Session& session;
    Prompter& prompter;
    QString heading;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

QList<QPointer<QAbstractItemView>>& registered() {
    static QList<QPointer<QAbstractItemView>> views;
    return views;
}

// Where the last export was saved in this run: the next save dialog opens there.
QString& last_export_folder() {
    static QString folder;
    return folder;
}

QPointer<QWidget>& last_window() {
    static QPointer<QWidget> window;
    return window;
}

ListTools* tools_of(const QAbstractItemView* view) {
    return view ? view->findChild<ListTools*>(QString::fromLatin1(kToolsName), Qt::FindDirectChildrenOnly)
                : nullptr;
}

// The delegate that paints a view's figures (separators, right alignment), if it has one.
const FigureDelegate* figures_of(const QAbstractItemView* view) {
    return qobject_cast<const FigureDelegate*>(view->itemDelegate());
}

QString cell_text(const QAbstractItemView* view, const QModelIndex& index, bool exact) {
    if (exact) {
        const QVariant v = index.data(kExactTextRole);
        if (v.isValid())
            return v.toString();
        return index.data(Qt::DisplayRole).toString();
    }
    // As the screen paints it: a figure with its separators.
    if (const FigureDelegate* figures = figures_of(view))
        return figures->shown(index).text;
    return index.data(Qt::DisplayRole).toString();
}

bool is_right_aligned(const QAbstractItemView* view, const QModelIndex& index) {
    if (const FigureDelegate* figures = figures_of(view);
        figures && figures->figure(index.column()) != Figure::Text)
        return true;
    return index.isValid() && (index.data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
}

// The columns in their shown order, hidden ones left out.
QVector<int> shown_columns(const QAbstractItemView* view, const QAbstractItemModel* model) {
    const QHeaderView* header = nullptr;
    if (auto* table = qobject_cast<const QTableView*>(view))
        header = table->horizontalHeader();
    else if (auto* tree = qobject_cast<const QTreeView*>(view))
        header = tree->header();
    QVector<int> columns;
    if (!header) {
        columns << (view->inherits("QListView") ? qobject_cast<const QListView*>(view)->modelColumn() : 0);
        return columns;
    }
    for (int v = 0; v < header->count(); ++v) {
        const int logical = header->logicalIndex(v);
        if (!header->isSectionHidden(logical) && logical < model->columnCount())
            columns << logical;
    }
    return columns;
}

QString file_name_for(const QString& title) {
    QString name = title.trimmed();
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\s]+"));
    name.replace(unsafe, QStringLiteral("_"));
    return (name.isEmpty() ? QStringLiteral("一覧") : name) + QStringLiteral(".csv");
}

QString window_title(const QAbstractItemView* view) {
    const QString title = view->window()->windowTitle();
    return title.isEmpty() ? QStringLiteral("一覧") : title;
}

// The list of a window that its 印刷… and the export menu take: the focused one, else the first shown.
QAbstractItemView* list_of_window(const QWidget* window) {
    QAbstractItemView* first = nullptr;
    for (const QPointer<QAbstractItemView>& v : registered()) {
        if (!v || v->window() != window || !v->isVisible())
            continue;
        if (v->hasFocus())
            return v;
        if (!first)
            first = v;
    }
    return first;
}

void install_window_print(QWidget* window) {
    // The main window prints its chart through its own menu item.
    if (window->objectName() == QLatin1String("main") || window->property("sales_print_action").toBool())
        return;
    window->setProperty("sales_print_action", true);
    auto* print = new QAction(QStringLiteral("印刷…"), window);
    print->setObjectName(QStringLiteral("print_window"));
    print->setShortcut(QKeySequence::Print);
    print->setShortcutContext(Qt::WindowShortcut);
    window->addAction(print);
    QObject::connect(print, &QAction::triggered, window, [window] {
        if (QAbstractItemView* view = list_of_window(window))
            print_list(view);
    });
}

bool ListTools::eventFilter(QObject* watched, QEvent* event) {
    // The view belongs to its window only once it is laid out; the window's Ctrl+P follows then.
    if (watched == view && (event->type() == QEvent::Show || event->type() == QEvent::ParentChange) &&
        view->window() != view)
        install_window_print(view->window());
    return QObject::eventFilter(watched, event);
}

void track_last_window() {
    static bool connected = false;
    if (connected || !qApp)
        return;
    connected = true;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
        if (!now)
            return;
        QWidget* window = now->window();
        // Returning to the main window through its menu keeps the window worked in before.
        const bool main = window->objectName() == QLatin1String("main");
        if (!main || qobject_cast<QAbstractItemView*>(now))
            last_window() = window;
    });
}

}  // namespace

ListTable list_table(const QAbstractItemView* view, const QString& heading, bool exact) {
    ListTable table;
    const QAbstractItemModel* model = view->model();
    if (!model)
        return table;
    const QVector<int> columns = shown_columns(view, model);
    const bool single =
        qobject_cast<const QListView*>(view) != nullptr ||
        (qobject_cast<const QTreeView*>(view) && qobject_cast<const QTreeView*>(view)->isHeaderHidden());
    for (int c : columns)
        table.headings << (single && !heading.isEmpty() ? heading
                                                        : model->headerData(c, Qt::Horizontal).toString());
    const auto* tree = qobject_cast<const QTreeView*>(view);
    // A one-column list whose items hold tab-separated columns (today's orders) splits them.
    const bool split = qobject_cast<const QListView*>(view) != nullptr && heading.contains(QLatin1Char('\t'));
    if (split)
        table.headings = heading.split(QLatin1Char('\t'));
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c : columns)
            row << cell_text(view, model->index(r, c), exact);
        if (split)
            row = row.value(0).split(QLatin1Char('\t'));
        table.rows << row;
        if (tree && tree->isExpanded(model->index(r, 0))) {
            // What the tree shows: the children of open nodes only, as the screen lists them.
            std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent, int depth) {
                for (int k = 0; k < model->rowCount(parent); ++k) {
                    QStringList child;
                    for (int c : columns) {
                        QString text = cell_text(view, model->index(k, c, parent), exact);
                        if (c == columns.first())
                            text.prepend(QString(depth, QChar(0x3000)));
                        child << text;
                    }
                    table.rows << child;
                    const QModelIndex node = model->index(k, 0, parent);
                    if (tree->isExpanded(node))
                        walk(node, depth + 1);
                }
            };
            walk(model->index(r, 0), 1);
        }
    }
    for (int c : columns)
        table.right_aligned << (model->rowCount() > 0 && is_right_aligned(view, model->index(0, c)));
    if (split)
        table.right_aligned = QVector<bool>(table.headings.size(), false);
    // A column without heading or values (a grid's spare column) is left out.
    for (int c = int(table.headings.size()) - 1; c >= 0; --c) {
        if (!table.headings.at(c).isEmpty() ||
            std::any_of(table.rows.begin(), table.rows.end(),
                        [c](const QStringList& r) { return !r.value(c).isEmpty(); }))
            continue;
        table.headings.removeAt(c);
        if (c < table.right_aligned.size())
            table.right_aligned.removeAt(c);
        for (QStringList& r : table.rows)
            if (c < r.size())
                r.removeAt(c);
    }
    return table;
}

QString selected_cells_text(const QAbstractItemView* view) {
    if (!view->selectionModel())
        return QString();
    std::map<int, std::map<int, QString>> cells;  // row, column: value, in order
    QVector<int> columns;
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) {
        if (auto* table = qobject_cast<const QTableView*>(view);
            table && (table->isColumnHidden(index.column()) || table->isRowHidden(index.row())))
            continue;
        cells[index.row()][index.column()] = cell_text(view, index, true);
        if (!columns.contains(index.column()))
            columns << index.column();
    }
    std::sort(columns.begin(), columns.end());
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]+"));
    QStringList lines;
    for (const auto& [row, values] : cells) {
        QStringList line;
        for (int c : columns) {
            const auto it = values.find(c);
            line << (it == values.end() ? QString()
                                        : QString(it->second).replace(breaks, QStringLiteral(" ")));
        }
        lines << line.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

void install_list_tools(QAbstractItemView* view, Session& session, Prompter& prompter,
                        const QString& heading) {
    if (tools_of(view))
        return;
    auto* tools = new ListTools(view, session, prompter, heading);
    registered() << view;
    track_last_window();
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    // Several rows of a grid or list can be chosen (Shift, Ctrl) so that コピー takes them all; the
    // current row stays the one a click chooses. A tree's click reads its one selected node.
    if (!qobject_cast<QTreeView*>(view) && view->selectionMode() == QAbstractItemView::SingleSelection)
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto add = [view](const char* name, const QString& text) {
        auto* action = new QAction(text, view);
        action->setObjectName(QString::fromLatin1(name));
        view->addAction(action);
        return action;
    };
    QAction* export_action = add("export_list", QStringLiteral("書き出し…"));
    QAction* copy = add("copy_cells", QStringLiteral("コピー"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QAction* print = add("print_list", QStringLiteral("印刷…"));
    QObject::connect(export_action, &QAction::triggered, view, [view] { export_list(view); });
    QObject::connect(copy, &QAction::triggered, view, [view, tools] {
        const QString text = selected_cells_text(view);
        if (!text.isEmpty())
            tools->prompter.copy_text(text);
    });
    QObject::connect(print, &QAction::triggered, view, [view] { print_list(view); });
    view->installEventFilter(tools);
    if (view->window() != view)
        install_window_print(view->window());
}

QAbstractItemView* current_list(QWidget* main_window) {
    QWidget* window = last_window();
    if (window && window->isVisible())
        if (QAbstractItemView* view = list_of_window(window))
            return view;
    return list_of_window(main_window);
}

void export_list(QAbstractItemView* view) {
    ListTools* tools = tools_of(view);
    if (!tools)
        return;
    const ListTable table = list_table(view, tools->heading, true);
    QString path;
    CsvEncoding encoding = CsvEncoding::Utf8Bom;
    const QString folder = last_export_folder().isEmpty() ? QDir::currentPath() : last_export_folder();
    if (!tools->prompter.choose_export_file(
            view->window(), QDir(folder).filePath(file_name_for(window_title(view))), path, encoding))
        return;
    QVector<QStringList> rows{table.headings};
    rows += table.rows;
    QString message;
    if (!save_table_csv(path, rows, encoding, message)) {
        tools->prompter.inform(message);
        return;
    }
    last_export_folder() = QFileInfo(path).absolutePath();
    tools->prompter.inform(QStringLiteral("%1 件を書き出しました: %2")
                               .arg(table.rows.size())
                               .arg(QDir::toNativeSeparators(path)));
}

void print_list(QAbstractItemView* view) {
    ListTools* tools = tools_of(view);
    if (!tools)
        return;
    const ListTable shown = list_table(view, tools->heading, false);
    const PrintHeading heading{tools->session.company_setting(2), window_title(view),
                               tools->session.clock.today()};
    tools->prompter.print_preview(
        view->window(), PrintJob(heading, PrintTable{shown.headings, shown.rows, shown.right_aligned}));
}
