#pragma once

#include <QStringList>
#include <QVector>

class Database;

// The records of 顧客 and 商品 as the imports read them: 13 values per customer (顧客名 … 担当者かな,
// 備考), 4 per goods (分類コード, 分類, 商品名, 単価), in key order. An empty column gives an empty
// value, so the file imported into an empty folder gives the same rows.
QVector<QStringList> customer_export_rows(Database& db);
QVector<QStringList> goods_export_rows(Database& db);

// The heading row of the files, the column names: it marks a file as this program's export, which
// the imports then take back whole (see csv_import.h).
const QStringList& customer_export_headings();
const QStringList& goods_export_headings();

// The file as written: the heading row, then every record with its values through round_trip_cell
// (a value Excel would run as a formula is kept as text, and the import takes exactly that away).
QVector<QStringList> export_file_table(const QStringList& headings, const QVector<QStringList>& rows);
