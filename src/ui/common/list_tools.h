#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <Qt>

class Prompter;
class QAbstractItemView;
class QWidget;
class Session;

// The role through which a model gives a cell's exact value where its shown text differs (an amount
// with separators): exports and copies take it, the printed page takes the shown text.
constexpr int kExactTextRole = Qt::UserRole + 77;

// A list or grid as texts: headings, then rows in the shown order; hidden columns are left out.
struct ListTable {
    QStringList headings;
    QVector<QStringList> rows;
    QVector<bool> right_aligned;
};

// The cells of a table, tree (children indented) or list view; heading names the one column of a
// list. exact: the exact values instead of the shown texts.
ListTable list_table(const QAbstractItemView* view, const QString& heading, bool exact);
// The selected cells as lines of tab-separated exact values, as spreadsheets paste them.
QString selected_cells_text(const QAbstractItemView* view);

// Gives a list or grid its context menu (書き出し…, コピー, 印刷…) and Ctrl+C, and its window 印刷… on
// Ctrl+P. heading names the column of a one-column list in exports and prints.
void install_list_tools(QAbstractItemView* view, Session& session, Prompter& prompter,
                        const QString& heading = QString());

// The list that ファイル → 書き出し writes: the one of the window last worked in (the focused one, or
// its first), else the main window's own. Null when there is none.
QAbstractItemView* current_list(QWidget* main_window);
// Exports or prints a list that install_list_tools was given.
void export_list(QAbstractItemView* view);
void print_list(QAbstractItemView* view);
