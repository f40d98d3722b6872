#pragma once

#include <QStringList>
#include <QVector>

class Database;

// The records of 顧客 and 商品 as the imports read them: 13 values per customer (顧客名 … 担当者かな,
// 備考), 4 per goods (分類コード, 分類, 商品名, 単価), no heading line, in key order. An empty column
// gives an empty value, so the file imported into an empty folder gives the same rows.
QVector<QStringList> customer_export_rows(Database& db);
QVector<QStringList> goods_export_rows(Database& db);
