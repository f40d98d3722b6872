#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QVector>

#include "db/result_table.h"
#include "db/stored_row.h"
#include "ui/records/detail_view.h"
#include "ui/records/entry_window.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class Prompter;
class Session;

// The records of the list: field names as headings, one row per record.
class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void set_records(const QStringList& headings, ResultTable rows);
    void clear();
    QString text(int row, int column) const { return m_rows(column, row + 1); }

private:
    QStringList m_headings;
    ResultTable m_rows;
};

// "履歴データ表示編集" (datalist): the rows of one activity table for the shown customer or the
// working employee, newest first; a clicked row can be corrected or deleted.
class RecordListScreen : public EntryWindow {
    Q_OBJECT
public:
    RecordListScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);
    ~RecordListScreen() override;

    // Fills the grid for the session's selected table, replacing whatever it showed.
    void set_datagrid();
    // A click on the grid row (from 0): the record goes into the edit boxes.
    void choose_row(int row);
    DetailView* detail_view() const { return m_detail; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update_record();
    void delete_record();
    void close_list();
    void reshow_record();
    void open_detail(int position);
    QString box_value(int position) const;

    Session& m_session;
    Prompter& m_prompter;
    int m_entry = -1;
    QString m_key;  // the record under edit
    StoredRow m_shown;  // that record as read when chosen, for the write-conflict check
    RecordTableModel* m_model;
    QTableView* m_grid;
    QLabel* m_label2;
    QVector<QLabel*> m_label1;  // positions 1 to 9; 0 unused
    QVector<QLineEdit*> m_text1;
    QStringList m_read;   // each box's value as read from the database
    QStringList m_box_texts;  // what each box showed after it was filled
    QComboBox* m_combo;
    QPushButton* m_update;
    QPushButton* m_delete;
    QPushButton* m_cancel;
    QPointer<DetailView> m_detail;
};
