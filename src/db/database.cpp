#include "db/database.h"

#include <QAtomicInt>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QStringEncoder>
#include <memory>
#include <tuple>

#include <sqlite3.h>

#include "db/cell_text.h"
#include "db/odbc_connection.h"
#include "db/schema.h"
#include "db/statement_log.h"
#include "db/storage_error.h"
#include "db/text_guard.h"

namespace {

QAtomicInt g_connection_counter;

// Back-end messages from the MariaDB ODBC driver can carry a NUL and junk after Japanese text.
QString clean_message(QString text) {
    const int nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text.trimmed();
}

QString error_text(const QSqlError& error) {
    QString text = clean_message(error.databaseText());
    const QString driver = clean_message(error.driverText());
    if (text.isEmpty())
        text = driver;
    else if (!driver.isEmpty() && !text.contains(driver))
        text = driver + QStringLiteral(": ") + text;
    if (text.isEmpty())
        text = QStringLiteral("データベースがエラーを返しました");
    return text;
}

// Runs a call on the ODBC connection; its failure message is explained as the Qt path's is.
template <class Call>
auto explained(Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const DatabaseError& e) {
        throw DatabaseError(explain_error(e.message()));
    }
}

}  // namespace

QString cell_text(const QVariant& value) {
    if (value.isNull() || !value.isValid())
        return QStringLiteral("-");
    switch (value.typeId()) {
        case QMetaType::QDate:
            return value.toDate().toString(QStringLiteral("yyyy/MM/dd"));
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            if (dt.time() == QTime(0, 0))
                return dt.date().toString(QStringLiteral("yyyy/MM/dd"));
            return dt.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        }
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(value.toDouble(), 'g', 15);
        case QMetaType::QByteArray:
            return QString::fromUtf8(value.toByteArray());
        default:
            return value.toString();
    }
}

// High-precision numbers from ODBC arrive as text such as "12.00"; the program writes whole
// numbers and expects them back the same way.
QString trim_decimal_zeros(QString text) {
    static const QRegularExpression re(QStringLiteral(R"(^-?\d+\.\d*$)"));
    if (!re.match(text).hasMatch())
        return text;
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

ConnectionText build_connection_string(const QString& db_kind, const QString& database_name,
                                       const QString& program_folder) {
    ConnectionText c;
    if (db_kind == QLatin1String("Mssql")) {
        c.text = QStringLiteral("dsn=") + database_name;
        c.driver = QStringLiteral("QODBC");
        c.database = database_name;  // QODBC adds DSN= itself
        c.dialect = Dialect::SqlServer;
    } else if (db_kind == QLatin1String("Mysql")) {
        c.text = QStringLiteral("dsn=") + database_name;
        c.driver = QStringLiteral("QODBC");
        c.database = database_name;
        c.dialect = Dialect::MySql;
    } else if (db_kind == QLatin1String("Jet")) {
        const QString path = QDir(program_folder).filePath(database_name);
        c.text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;") + QStringLiteral("Data Source=") +
                 QDir::toNativeSeparators(path) + QStringLiteral(";Jet OLEDB:Database Password=") +
                 QStringLiteral("kuwai") + QStringLiteral(";");
        c.driver = QStringLiteral("QSQLITE");
        c.database = path;
        c.dialect = Dialect::Sqlite;
    }
    return c;
}

Database::Database()
    : m_name(QStringLiteral("sales_connection_%1").arg(g_connection_counter.fetchAndAddRelaxed(1))) {}

Database::~Database() {
    close();
}

void Database::open(const QString& db_kind, const QString& database_name, const QString& program_folder) {
    close();
    m_connection = build_connection_string(db_kind, database_name, program_folder);
    m_dialect = m_connection.dialect;
    if (m_connection.driver.isEmpty())
        return;  // unknown kind: nothing opens, the first statement fails
    if (m_connection.driver == QLatin1String("QSQLITE") && !QFileInfo(m_connection.database).isFile())
        throw DatabaseError(QStringLiteral("データベースファイルが見つかりません: ") +
                            QDir::toNativeSeparators(m_connection.database));
    open_driver(m_connection);
}

void Database::open_sqlite_file(const QString& path, bool create) {
    close();
    if (!create && !QFileInfo(path).isFile())
        throw DatabaseError(QStringLiteral("データベースファイルが見つかりません: ") +
                            QDir::toNativeSeparators(path));
    m_connection = ConnectionText{QString(), QStringLiteral("QSQLITE"), path, Dialect::Sqlite};
    m_connection.text = QStringLiteral("Data Source=") + QDir::toNativeSeparators(path);
    m_dialect = Dialect::Sqlite;
    open_driver(m_connection);
}

void Database::open_driver(const ConnectionText& connection) {
    if (m_dialect == Dialect::MySql) {
        open_mysql(connection);
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(connection.driver))
        throw DatabaseError(QStringLiteral("データベースドライバ %1 がありません").arg(connection.driver));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(connection.driver, m_name);
        db.setDatabaseName(connection.database);
        // Another process may hold the file's write lock (sales-cli fetch-mail, a second PC): wait
        // for it as long as a person would before being told.
        if (connection.driver == QLatin1String("QSQLITE"))
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs));
        if (connection.driver == QLatin1String("QODBC")) {
            db.setUserName(QString());
            db.setPassword(QString());
        }
        if (!db.open()) {
            const QString message = error_text(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            throw DatabaseError(
                QStringLiteral("データベースを開けません (%1): %2").arg(connection.database, message));
        }
    }
    if (connection.driver == QLatin1String("QSQLITE")) {
        // Activity rows outlive their customer, so no foreign keys; WAL keeps readers quick.
        execute_sql(QStringLiteral("PRAGMA foreign_keys = OFF"));
        // An import may hold the file in a rollback journal (BulkJournal); setting the log then is
        // refused at once rather than waited for, so it is tried again for the usual wait.
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            try {
                query_rows(QStringLiteral("PRAGMA journal_mode = WAL"), 1);
                break;
            } catch (const DatabaseError& e) {
                if (e.message() != kDatabaseBusyMessage || waited.elapsed() > kSqliteBusyTimeoutMs)
                    throw;
                QThread::msleep(50);
            }
        }
        execute_sql(QStringLiteral("PRAGMA synchronous = NORMAL"));
    }
}

void Database::open_mysql(const ConnectionText& connection) {
    m_odbc = std::make_unique<OdbcConnection>();
    try {
        m_odbc->open(connection.database);
        // The session's rules are set outright, whatever the server's defaults are: a text longer
        // than its column or a bad date is refused rather than cut or zeroed, and a backslash is
        // plain text, as typed. (No SET NAMES: the MariaDB ODBC driver refuses it and sets the
        // character set from the data source.)
        execute_sql(QStringLiteral(
            "SET SESSION sql_mode = 'STRICT_TRANS_TABLES,STRICT_ALL_TABLES,NO_BACKSLASH_ESCAPES,"
            "NO_ZERO_IN_DATE,NO_ZERO_DATE,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION'"));
        // Statements go out and results come back as UTF-8 bytes; another CHARSET in the data source
        // would turn every Japanese text into garbage, so it is refused here.
        const QString charset = query_rows(QStringLiteral("select @@character_set_results"), 1)(0, 1);
        if (!charset.startsWith(QLatin1String("utf8")) && charset != QLatin1String("-"))
            throw DatabaseError(QStringLiteral("データソース %1 の文字コードが %2 です。"
                                               "odbc.ini の CHARSET を utf8mb4 にしてください。")
                                    .arg(connection.database, charset));
    } catch (...) {
        m_odbc.reset();
        throw;
    }
}

void Database::close() {
    for (const auto& [sql, statement] : m_insert_statements)
        sqlite3_finalize(statement);
    m_insert_statements.clear();
    m_odbc.reset();
    m_transaction_depth = 0;
    m_transaction_failed = false;
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
}

bool Database::is_open() const {
    if (m_odbc)
        return m_odbc->is_open();
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

void Database::check_open() const {
    if (!is_open())
        throw DatabaseError(QStringLiteral("データベースに接続されていません"));
}

namespace {
// Every refused statement goes to the log with its values elided, whoever catches the error.
template <class Call>
auto logged(const QString& statement, Call&& call) -> decltype(call()) {
    try {
        return call();
    } catch (const DatabaseError& e) {
        log_database_error(statement, e.message());
        throw;
    }
}
}  // namespace

ResultTable Database::query_rows(const QString& statement, int column_count) {
    return logged(statement, [&] { return query_rows_unlogged(statement, column_count); });
}

int Database::execute_sql(const QString& statement) {
    return logged(statement, [&] { return execute_sql_unlogged(statement); });
}

ResultTable Database::query_rows_unlogged(const QString& statement, int column_count) {
    check_open();
    if (column_count < 1)
        throw DatabaseError(QStringLiteral("列の数が正しくありません"));
    if (m_odbc)
        return explained([&] { return m_odbc->query(translate(statement), column_count); });
    QSqlQuery query(handle());
    query.setForwardOnly(true);
    const bool odbc = m_connection.driver == QLatin1String("QODBC");
    if (odbc)
        query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!query.exec(translate(statement)))
        throw DatabaseError(explain_error(error_text(query.lastError())));
    ResultTable table(column_count);
    bool first = true;
    QVector<bool> decimal_column(column_count, false);
    while (query.next()) {
        if (first) {
            const QSqlRecord record = query.record();
            if (record.count() < column_count)
                throw DatabaseError(QStringLiteral("結果の列が足りません (%1 列を要求、%2 列)")
                                        .arg(column_count)
                                        .arg(record.count()));
            for (int c = 0; c < column_count && odbc; ++c)
                decimal_column[c] = record.field(c).metaType().id() == QMetaType::Double;
            first = false;
        }
        QVector<QString> row;
        row.reserve(column_count);
        for (int c = 0; c < column_count; ++c) {
            const QVariant value = query.value(c);
            QString text = cell_text(value);
            if (decimal_column[c] && !value.isNull())
                text = trim_decimal_zeros(text);
            row.push_back(std::move(text));
        }
        table.append_row(std::move(row));
    }
    if (query.lastError().isValid())
        throw DatabaseError(explain_error(error_text(query.lastError())));
    return table;
}

QStringList Database::column_names(const QString& statement) {
    check_open();
    if (m_odbc)
        return explained([&] { return m_odbc->column_names(translate(statement)); });
    QSqlQuery query(handle());
    if (!query.exec(translate(statement)))
        throw DatabaseError(explain_error(error_text(query.lastError())));
    const QSqlRecord record = query.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

int Database::execute_sql_unlogged(const QString& statement) {
    check_open();
    refuse_unreadable_text(statement);
    if (m_odbc)
        return explained([&] { return m_odbc->execute(translate(statement)); });
    QSqlQuery query(handle());
    if (!query.exec(translate(statement)))
        throw DatabaseError(explain_error(error_text(query.lastError())));
    return query.numRowsAffected();
}

ReadyRows::ReadyRows(Dialect dialect) : m_dialect(dialect) {}

namespace {

// The values bound to one insert of several rows; SQLite takes up to 32766.
constexpr int kInsertValuesPerStatement = 420;

}  // namespace

namespace {

// Whether a text holds nothing bound_text would change or a back-end refuses: almost every text.
bool plain_text(QStringView text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0 || (u >= 0xD800 && u <= 0xDFFF) || u >= 0xFFFE)
            return false;
    }
    return true;
}

}  // namespace

void ReadyRows::add_null() {
    if (m_dialect == Dialect::Sqlite)
        m_values << Span{0, -1};
    else
        m_literals << QStringLiteral("NULL");
}

void ReadyRows::add(const QVariant& value) {
    if (value.isNull())
        add_null();
    else
        add(value.toString());
}

void ReadyRows::add(const QString& given) {
    QString text = given;
    if (!plain_text(text)) {
        text = bound_text(text);
        if (m_refused < 0) {
            try {
                refuse_unreadable_text(text);
            } catch (const DatabaseError& e) {
                m_refused = size();
                m_refusal = e.message();
            }
        }
    }
    if (m_dialect != Dialect::Sqlite) {
        m_literals << sql_text(text);
    } else {
        if (m_text.capacity() == 0)
            m_text.reserve(64 * 1024);
        const qsizetype from = m_text.size();
        QStringEncoder utf8(QStringEncoder::Utf8);
        m_text.resize(from + utf8.requiredSpace(text.size()));
        char* end = utf8.appendToBuffer(m_text.data() + from, text);
        m_text.resize(end - m_text.constData());
        m_values << Span{from, m_text.size() - from};
    }
}

void ReadyRows::end_row() {
    if (m_dialect == Dialect::Sqlite) {
        m_row_first << m_values.size();
        return;
    }
    m_tuples << QLatin1Char('(') + m_literals.join(QLatin1Char(',')) + QLatin1Char(')');
    m_literals.clear();
    m_row_first << m_tuples.size();
}

ReadyRows ReadyRows::row(qsizetype i) const {
    ReadyRows one(m_dialect);
    if (m_dialect == Dialect::Sqlite) {
        for (qsizetype v = m_row_first.at(i); v < m_row_first.at(i + 1); ++v) {
            const Span span = m_values.at(v);
            one.m_values << Span{span.size < 0 ? 0 : one.m_text.size(), span.size};
            if (span.size > 0)
                one.m_text.append(m_text.constData() + span.from, span.size);
        }
        one.m_row_first << one.m_values.size();
    } else {
        one.m_tuples << m_tuples.at(i);
        one.m_row_first << 1;
    }
    if (i == m_refused) {
        one.m_refused = 0;
        one.m_refusal = m_refusal;
    }
    return one;
}

ReadyRows ready_rows(Dialect dialect, const QVector<QVector<QVariant>>& rows) {
    ReadyRows ready(dialect);
    for (const QVector<QVariant>& row : rows) {
        for (const QVariant& v : row)
            ready.add(v);
        ready.end_row();
    }
    return ready;
}

void Database::insert_rows(const QString& table, const QStringList& columns, const ReadyRows& rows,
                           int* failed_row) {
    check_open();
    if (failed_row)
        *failed_row = -1;
    if (rows.size() == 0)
        return;
    if (rows.m_dialect != m_dialect)
        throw DatabaseError(QStringLiteral("データベースの種類に合わない行です"));
    QStringList names;
    for (const QString& c : columns)
        names << QLatin1Char('[') + c + QLatin1Char(']');
    const QString head =
        QStringLiteral("insert into [%1] (%2) values").arg(table, names.join(QLatin1Char(',')));
    auto refuse = [&] {
        if (failed_row)
            *failed_row = int(rows.m_refused);
        throw DatabaseError(rows.m_refusal);
    };
    if (m_dialect != Dialect::Sqlite) {
        // One refused text refuses the whole statement: nothing is sent.
        if (rows.m_refused >= 0)
            refuse();
        execute_sql(head + rows.m_tuples.join(QLatin1Char(',')));
        return;
    }
    // Parsing a statement per row, or binding through Qt's layer (which names every placeholder it
    // binds), costs more than storing the row: SQLite's own API, on the connection Qt opened. Rows go
    // in several to a statement, which SQLite stores faster than one by one.
    const QVariant driver_handle = handle().driver()->handle();
    if (!driver_handle.isValid() || qstrcmp(driver_handle.typeName(), "sqlite3*") != 0)
        throw DatabaseError(QStringLiteral("データベースの接続を使えません"));
    sqlite3* connection = *static_cast<sqlite3* const*>(driver_handle.constData());
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QString tuple = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    const int per_statement = qMax(1, kInsertValuesPerStatement / int(columns.size()));
    // Stores rows [first, first + count) with one statement; returns the step's result code and,
    // unless it is SQLITE_DONE, the step's own message (not the reset's: the reset repeats it).
    auto store = [&](qsizetype first_row, int count) {
        QStringList tuples;
        for (int i = 0; i < count; ++i)
            tuples << tuple;
        sqlite3_stmt* statement = insert_statement(translate(head + tuples.join(QLatin1Char(','))).toUtf8());
        int parameter = 0;
        for (qsizetype r = first_row; r < first_row + count; ++r) {
            const qsizetype first = rows.m_row_first.at(r);
            const qsizetype given = rows.m_row_first.at(r + 1) - first;
            for (int c = 0; c < columns.size(); ++c) {
                const ReadyRows::Span span = c < given ? rows.m_values.at(first + c) : ReadyRows::Span{0, -1};
                if (span.size < 0)
                    sqlite3_bind_null(statement, ++parameter);
                else
                    sqlite3_bind_text(statement, ++parameter, rows.m_text.constData() + span.from,
                                      int(span.size), SQLITE_STATIC);
            }
        }
        const int rc = sqlite3_step(statement);
        const QString message = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(connection));
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);  // the texts belong to rows
        return std::make_pair(rc, message);
    };
    const qsizetype stored = rows.m_refused >= 0 ? rows.m_refused : rows.size();
    for (qsizetype r = 0; r < stored;) {
        const int count = int(qMin<qsizetype>(per_statement, stored - r));
        auto [rc, message] = store(r, count);
        // A row the table refuses stops its statement, which then stored none of its rows: they go
        // again one at a time, to name it. Anything else (a busy file, a full disk) may have ended
        // the transaction, and nothing is tried again.
        const bool one_by_one = count > 1 && (rc & 0xff) == SQLITE_CONSTRAINT;
        for (qsizetype one = r; one_by_one && one < r + count; ++one) {
            std::tie(rc, message) = store(one, 1);
            if (rc != SQLITE_DONE) {
                r = one;
                break;
            }
        }
        if (rc != SQLITE_DONE) {
            if (failed_row)
                *failed_row = int(r);
            throw DatabaseError(explain_error(message));
        }
        r += count;
    }
    if (rows.m_refused >= 0)
        refuse();
}

sqlite3_stmt* Database::insert_statement(const QByteArray& sql) {
    for (const auto& [text, statement] : m_insert_statements)
        if (text == sql)
            return statement;
    if (m_insert_statements.size() >= 4) {
        for (const auto& [text, statement] : m_insert_statements)
            sqlite3_finalize(statement);
        m_insert_statements.clear();
    }
    sqlite3* connection =
        *static_cast<sqlite3* const*>(handle().driver()->handle().constData());
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(connection, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(connection));
        sqlite3_finalize(statement);
        throw DatabaseError(explain_error(message));
    }
    m_insert_statements.emplace_back(sql, statement);
    return statement;
}

QString Database::insert_row(const QString& statement, const QString& key_column) {
    check_open();
    QString key;
    if (m_dialect == Dialect::SqlServer) {
        // The key comes back from the insert itself (its output clause).
        QSqlQuery query(handle());
        query.setForwardOnly(true);
        if (!query.exec(insert_returning_key_statement(statement, key_column, m_dialect)))
            throw DatabaseError(explain_error(error_text(query.lastError())));
        if (query.next())
            key = cell_text(query.value(0));
    } else {
        execute_sql(statement);
        key = query_rows(last_insert_key_statement(m_dialect), 1)(0, 1);
    }
    bool numeric = false;
    if (key.toLongLong(&numeric) <= 0 || !numeric)
        throw DatabaseError(QStringLiteral("新しい行の番号を得られませんでした"));
    return key;
}

void Database::begin_transaction() {
    check_open();
    if (m_transaction_depth++ > 0)
        return;  // an inner group joins the outer one
    m_transaction_failed = false;
    try {
        if (m_odbc) {
            m_odbc->begin();
        } else if (m_dialect == Dialect::Sqlite) {
            // The write lock is taken (or waited for) at the start: a group that read first and
            // wrote later could otherwise be refused at once when another process wrote between.
            execute_sql(QStringLiteral("BEGIN IMMEDIATE"));
        } else if (!handle().transaction()) {
            throw DatabaseError(error_text(handle().lastError()));
        }
    } catch (...) {
        m_transaction_depth = 0;
        throw;
    }
}

void Database::end_transaction(bool commit) {
    if (m_transaction_depth == 0)
        return;
    if (!commit)
        m_transaction_failed = true;
    if (--m_transaction_depth > 0)
        return;
    const bool failed = m_transaction_failed;
    m_transaction_failed = false;
    if (m_odbc) {
        explained([&] { m_odbc->end(!failed); });
    } else if (failed) {
        handle().rollback();
    } else if (!handle().commit()) {
        const QString message = explain_error(error_text(handle().lastError()));
        handle().rollback();
        throw DatabaseError(message);
    }
    if (failed && commit)
        throw DatabaseError(QStringLiteral("処理の途中で失敗したため、すべて取り消しました"));
}

// A text longer than its column, as each back-end words it, becomes one Japanese message naming
// the field: MySQL/MariaDB "Data too long for column '顧客名' at row 1"; SQLite "CHECK constraint
// failed: 顧客名" (the schema's length checks are named after their column); SQL Server "String or
// binary data would be truncated".
QString explain_error(const QString& message) {
    // SQLite: the file's lock was held past the busy timeout; MariaDB: a row lock was.
    if (message.contains(QLatin1String("database is locked")) ||
        message.contains(QLatin1String("database table is locked")) ||
        message.contains(QLatin1String("Lock wait timeout exceeded")))
        return kDatabaseBusyMessage;
    const QString storage = storage_error_message(message);
    if (!storage.isEmpty())
        return storage;
    static const QRegularExpression mysql(QStringLiteral("Data too long for column '([^']+)'"));
    static const QRegularExpression sqlite(QStringLiteral("CHECK constraint failed: ([^\\s]+)"));
    QString column;
    QRegularExpressionMatch m = mysql.match(message);
    if (m.hasMatch())
        column = m.captured(1);
    else if ((m = sqlite.match(message)).hasMatch())
        column = m.captured(1);
    else if (message.contains(QLatin1String("would be truncated")))
        return QStringLiteral("入力された文字が長すぎます。\n") + message;
    if (column.isEmpty())
        return message;
    const int limit = text_column_limit(column);
    if (limit > 0)
        return QStringLiteral("「%1」は %2 文字以内で入力してください。").arg(column).arg(limit);
    return QStringLiteral("「%1」に入力された文字が長すぎます。").arg(column);
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_db.begin_transaction();
}

Transaction::~Transaction() {
    if (!m_done) {
        try {
            m_db.end_transaction(false);
        } catch (...) {
            // A destructor must not throw; the work is rolled back either way.
        }
    }
}

void Transaction::commit() {
    m_done = true;
    m_db.end_transaction(true);
}
