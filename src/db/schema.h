#pragma once

#include <QString>
#include <QStringList>

#include "db/database.h"

// Column kinds of the schema, mapped to each back-end's types.
enum class ColumnKind { Key, Whole, Decimal, Text, LongText, Date, YesNo, Kana };

struct ColumnDef {
    ColumnDef(const char* column, ColumnKind column_kind, const char* default_sql = "")
        : name(QString::fromUtf8(column)), kind(column_kind), default_value(QString::fromUtf8(default_sql)) {}
    QString name;
    ColumnKind kind;
    QString default_value;  // SQL text of a default, empty for none
};

struct TableDef {
    QString name;
    QVector<ColumnDef> columns;
    QStringList indexed;  // columns that statements filter, join or sort on
};

// Every table of the database, in column order.
const QVector<TableDef>& schema_tables();

// The number of characters a text column named so holds (255), or 0 when no table has such a text
// column or it is a long text (limited in bytes, not characters).
int text_column_limit(const QString& column);
inline constexpr int kTextColumnLength = 255;
inline constexpr int kLongTextBytes = 65535;

// The statements that create the tables and indexes for a back-end.
QStringList schema_statements(Dialect dialect);
// The seed rows: the company row, the twelve RFM classes, the handling statuses, the table descriptions.
QStringList seed_statements();

// Creates the tables and seed rows in one go; an existing table is an error, nothing is half made.
void create_schema(Database& db);
