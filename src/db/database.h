#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>
#include <utility>
#include <vector>

#include "db/database_error.h"
#include "db/dialect.h"
#include "db/result_table.h"

// What build_connection_string makes of db_kind and database_name.
struct ConnectionText {
    QString text;      // the connection text as the program composes it
    QString driver;    // QSQLITE or QODBC; empty for an unknown db_kind
    QString database;  // what the Qt driver opens: the file path or the bare data source name
    Dialect dialect = Dialect::Sqlite;
};

// The three connection texts: "Jet" names the embedded file in the program folder, "Mysql" and
// "Mssql" a named ODBC data source. Any other kind yields an empty driver and opens nothing.
ConnectionText build_connection_string(const QString& db_kind, const QString& database_name,
                                       const QString& program_folder);

class OdbcConnection;
struct sqlite3_stmt;

// Rows of values made ready for Database::insert_rows, on any thread: every text cleaned and checked,
// and in the form the back-end takes (UTF-8 to bind on the embedded file, a literal tuple for a
// server). Making them costs about as much as storing them.
class ReadyRows {
public:
    explicit ReadyRows(Dialect dialect = Dialect::Sqlite);
    // The values of the row being made, in column order; end_row() closes it. A text is stored as
    // sql_text would splice it (a null text as an empty one); a null QVariant stores NULL.
    void add(const QString& text);
    void add(const QVariant& value);
    void end_row();

    qsizetype size() const { return m_row_first.size() - 1; }
    // Row i alone, to store it by itself.
    ReadyRows row(qsizetype i) const;

private:
    friend class Database;
    struct Span {
        qsizetype from;
        qsizetype size;  // below 0: NULL
    };
    void add_null();

    Dialect m_dialect;
    QByteArray m_text;                  // embedded file: the texts in UTF-8, one after the other
    QVector<Span> m_values;             // embedded file: where each value stands in m_text
    QStringList m_tuples;               // servers: "(…)" of each row
    QStringList m_literals;             // servers: the row being made
    QVector<qsizetype> m_row_first{0};  // the first value of each row, and one past the last
    qsizetype m_refused = -1;           // the first row holding a text no back-end may store
    QString m_refusal;                  // and why
};

ReadyRows ready_rows(Dialect dialect, const QVector<QVector<QVariant>>& rows);

// A back-end's message as the user should read it: a text too long for its column becomes one
// Japanese message naming the field; anything else is returned as it is.
QString explain_error(const QString& message);

// How long a writer waits for another process holding the embedded file, and what it is told after.
inline constexpr int kSqliteBusyTimeoutMs = 10000;
inline const QString kDatabaseBusyMessage =
    QStringLiteral("データベースが他の処理で使用中です。しばらく待ってからもう一度実行してください。");

// The one connection of the program. Statements run one at a time, in the embedded dialect,
// translated for the back-end just before they are sent.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the back-end named by db_kind. Throws DatabaseError when the file or data source cannot
    // be opened. An unknown kind leaves the connection closed, so the first statement fails.
    void open(const QString& db_kind, const QString& database_name, const QString& program_folder);
    // Opens an embedded file by path, creating it when create is true (used by init and tests).
    void open_sqlite_file(const QString& path, bool create);
    void close();

    bool is_open() const;
    Dialect dialect() const { return m_dialect; }
    const ConnectionText& connection() const { return m_connection; }

    // Runs a select and copies the first column_count columns of every row. A row with fewer
    // fields than asked is a DatabaseError.
    ResultTable query_rows(const QString& statement, int column_count);
    // Runs anything else; returns the number of rows affected where the back-end tells it.
    int execute_sql(const QString& statement);
    // Runs an "insert into T (columns) values(...)" and returns the key the back-end gave the new
    // row, as this connection saw it: another client's insert in between never changes it.
    QString insert_row(const QString& statement, const QString& key_column);
    // Rows of values into a table's columns: on the embedded file through one prepared statement with
    // the values bound, elsewhere as one statement of all the rows. failed_row, when given, receives
    // the row refused (a text no back-end may store, or a row the embedded file refused), or -1 when a
    // statement of many rows was refused. Rows before a refused one may be stored. Throws DatabaseError.
    void insert_rows(const QString& table, const QStringList& columns, const ReadyRows& rows,
                     int* failed_row = nullptr);
    // The names of the columns a select gives, as the back-end reports them.
    QStringList column_names(const QString& statement);

    // Statement text as it goes to the back-end.
    QString translate(const QString& statement) const { return translate_statement(statement, m_dialect); }

    // Used by Transaction. A group begun inside another joins it: only the outermost commits, and
    // any group that ends without committing rolls the whole work back.
    void begin_transaction();
    void end_transaction(bool commit);

private:
    ResultTable query_rows_unlogged(const QString& statement, int column_count);
    int execute_sql_unlogged(const QString& statement);
    void open_driver(const ConnectionText& connection);
    void open_mysql(const ConnectionText& connection);
    void check_open() const;
    QSqlDatabase handle() const;  // the Qt connection (embedded file, SQL Server)

    QString m_name;
    Dialect m_dialect = Dialect::Sqlite;
    ConnectionText m_connection;
    std::unique_ptr<OdbcConnection> m_odbc;  // MySQL/MariaDB
    int m_transaction_depth = 0;
    bool m_transaction_failed = false;
    // insert_rows' statements on the embedded file, kept between its calls (preparing one costs as much
    // as storing a few dozen rows); finalized at close, or when a table's columns take their place.
    sqlite3_stmt* insert_statement(const QByteArray& sql);
    std::vector<std::pair<QByteArray, sqlite3_stmt*>> m_insert_statements;
};

// Groups statements that must stand or fall together: rolls back unless commit() was reached.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};
