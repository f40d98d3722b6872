#pragma once

#include <QString>
#include <QVector>

// The result of query_rows: cells indexed (column, row), columns from 0, rows from 1 (row 0 stays
// empty). NULL arrives as "-", dates as yyyy/mm/dd.
class ResultTable {
public:
    ResultTable() = default;
    explicit ResultTable(int column_count) : m_column_count(column_count) {}

    int column_count() const { return m_column_count; }
    int row_count() const { return m_cells.size() / (m_column_count > 0 ? m_column_count : 1); }

    // Cells outside the result read as empty text, as the cells of a fresh table would.
    QString cell(int column, int row) const {
        if (column < 0 || column >= m_column_count || row < 1 || row > row_count())
            return QString();
        return m_cells.at((row - 1) * m_column_count + column);
    }
    QString operator()(int column, int row) const { return cell(column, row); }

    void append_row(QVector<QString>&& values) {
        for (auto& v : values)
            m_cells.push_back(std::move(v));
    }
    void reserve_rows(int rows) { m_cells.reserve(rows * m_column_count); }

private:
    int m_column_count = 0;
    QVector<QString> m_cells;
};
