#include "db/database.h"

#include <QAtomicInt>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sql.h>
#include <sqlext.h>

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

// The MariaDB ODBC driver (3.1) miscounts text it converts to UTF-16: a character whose low byte is
// 0xD8-0xDF (付, ホ, マ, …) swallows the next one in the count, so the text Qt reads comes back cut
// short, and long texts lose data inside the driver. Its UTF-8 bytes are exact, so MySQL results are
// read here, straight from the statement Qt executed. The functions come from the ODBC driver
// manager that the QODBC plugin has already loaded.
struct OdbcApi {
    decltype(&::SQLNumResultCols) num_result_cols = nullptr;
    decltype(&::SQLDescribeCol) describe_col = nullptr;
    decltype(&::SQLFetch) fetch = nullptr;
    decltype(&::SQLGetData) get_data = nullptr;
    bool complete() const { return num_result_cols && describe_col && fetch && get_data; }
};

const OdbcApi& odbc_api() {
    static const OdbcApi api = [] {
        OdbcApi a;
        QLibrary library(QStringLiteral("odbc"), 2);
        if (!library.load())
            return a;
        a.num_result_cols =
            reinterpret_cast<decltype(a.num_result_cols)>(library.resolve("SQLNumResultCols"));
        a.describe_col = reinterpret_cast<decltype(a.describe_col)>(library.resolve("SQLDescribeCol"));
        a.fetch = reinterpret_cast<decltype(a.fetch)>(library.resolve("SQLFetch"));
        a.get_data = reinterpret_cast<decltype(a.get_data)>(library.resolve("SQLGetData"));
        return a;
    }();
    return api;
}

class OdbcReader {
public:
    OdbcReader(const OdbcApi& api, SQLHSTMT statement) : m_api(api), m_statement(statement) {}

    // Reads column `column` (from 1) of the current row as the value cell_text formats; NULL is an
    // invalid value.
    QVariant value(SQLUSMALLINT column, SQLSMALLINT sql_type) {
        switch (sql_type) {
            case SQL_TYPE_DATE:
            case SQL_DATE: {
                DATE_STRUCT d{};
                if (!fixed(column, SQL_C_TYPE_DATE, &d, sizeof d))
                    return {};
                return QDate(d.year, d.month, d.day);
            }
            case SQL_TYPE_TIMESTAMP:
            case SQL_TIMESTAMP: {
                TIMESTAMP_STRUCT t{};
                if (!fixed(column, SQL_C_TYPE_TIMESTAMP, &t, sizeof t))
                    return {};
                return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
            }
            case SQL_BIT:
            case SQL_TINYINT:
            case SQL_SMALLINT:
            case SQL_INTEGER:
            case SQL_BIGINT: {
                SQLBIGINT v = 0;
                if (!fixed(column, SQL_C_SBIGINT, &v, sizeof v))
                    return {};
                return static_cast<qlonglong>(v);
            }
            case SQL_REAL:
            case SQL_FLOAT:
            case SQL_DOUBLE: {
                SQLDOUBLE v = 0;
                if (!fixed(column, SQL_C_DOUBLE, &v, sizeof v))
                    return {};
                return static_cast<double>(v);
            }
            case SQL_DECIMAL:
            case SQL_NUMERIC: {
                // Exact digits, as sum() of whole numbers arrives.
                QByteArray bytes;
                if (!variable(column, SQL_C_CHAR, bytes))
                    return {};
                return trim_decimal_zeros(QString::fromLatin1(bytes));
            }
            case SQL_BINARY:
            case SQL_VARBINARY:
            case SQL_LONGVARBINARY: {
                QByteArray bytes;
                if (!variable(column, SQL_C_BINARY, bytes))
                    return {};
                return bytes;
            }
            default: {
                QByteArray bytes;
                if (!variable(column, SQL_C_CHAR, bytes))
                    return {};
                return QString::fromUtf8(bytes);
            }
        }
    }

private:
    // False for NULL.
    bool fixed(SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN size) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = m_api.get_data(m_statement, column, c_type, target, size, &indicator);
        if (!SQL_SUCCEEDED(rc))
            fail(column);
        return indicator != SQL_NULL_DATA;
    }

    // Reads the value in pieces; false for NULL. An empty text is true with no bytes.
    bool variable(SQLUSMALLINT column, SQLSMALLINT c_type, QByteArray& bytes) {
        const bool terminated = c_type == SQL_C_CHAR;
        char buffer[8192];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc =
                m_api.get_data(m_statement, column, c_type, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA)
                return true;
            if (!SQL_SUCCEEDED(rc))
                fail(column);
            if (indicator == SQL_NULL_DATA)
                return false;
            const SQLLEN room = terminated ? SQLLEN(sizeof buffer) - 1 : SQLLEN(sizeof buffer);
            const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
            bytes.append(buffer, got);
            if (rc == SQL_SUCCESS)
                return true;
        }
    }

    [[noreturn]] void fail(SQLUSMALLINT column) {
        throw DatabaseError(QStringLiteral("結果の %1 列目を読めませんでした").arg(column));
    }

    const OdbcApi& m_api;
    SQLHSTMT m_statement;
};

// The rows of a statement Qt has executed on a MySQL connection, read with OdbcReader.
ResultTable fetch_odbc_rows(const QSqlQuery& query, int column_count) {
    const OdbcApi& api = odbc_api();
    if (!api.complete())
        throw DatabaseError(QStringLiteral("ODBC ドライバマネージャ (libodbc.so.2) を読み込めません"));
    const QVariant handle = query.result()->handle();
    if (!handle.isValid() || !handle.constData())
        throw DatabaseError(QStringLiteral("ODBC の結果を読めません"));
    const SQLHSTMT statement = *static_cast<const SQLHSTMT*>(handle.constData());

    ResultTable table(column_count);
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(api.num_result_cols(statement, &columns)) || columns == 0)
        return table;  // no result set: no rows
    OdbcReader reader(api, statement);
    QVector<SQLSMALLINT> types;
    for (;;) {
        const SQLRETURN rc = api.fetch(statement);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            throw DatabaseError(QStringLiteral("結果の行を読めませんでした"));
        if (types.isEmpty()) {
            if (columns < column_count)
                throw DatabaseError(QStringLiteral("結果の列が足りません (%1 列を要求、%2 列)")
                                        .arg(column_count)
                                        .arg(columns));
            for (int c = 1; c <= column_count; ++c) {
                SQLSMALLINT type = SQL_UNKNOWN_TYPE;
                SQLULEN size = 0;
                SQLSMALLINT digits = 0;
                SQLSMALLINT nullable = 0;
                api.describe_col(statement, SQLUSMALLINT(c), nullptr, 0, nullptr, &type, &size, &digits,
                                 &nullable);
                types << type;
            }
        }
        QVector<QString> row;
        row.reserve(column_count);
        for (int c = 0; c < column_count; ++c)
            row.push_back(cell_text(reader.value(SQLUSMALLINT(c + 1), types.at(c))));
        table.append_row(std::move(row));
    }
    return table;
}

}  // namespace

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
    if (!QSqlDatabase::isDriverAvailable(connection.driver))
        throw DatabaseError(QStringLiteral("データベースドライバ %1 がありません").arg(connection.driver));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(connection.driver, m_name);
        db.setDatabaseName(connection.database);
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
        query_rows(QStringLiteral("PRAGMA journal_mode = WAL"), 1);
        execute_sql(QStringLiteral("PRAGMA synchronous = NORMAL"));
    } else if (m_dialect == Dialect::MySql) {
        // A backslash must be plain text, as typed; without this it would be an escape character.
        // (No SET NAMES: the MariaDB ODBC driver refuses it and sets the character set itself.)
        execute_sql(QStringLiteral("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
        // Results are read as UTF-8 bytes (see OdbcReader); another CHARSET in the data source would
        // turn every Japanese text into garbage, so it is refused here.
        const QString charset = query_rows(QStringLiteral("select @@character_set_results"), 1)(0, 1);
        if (!charset.startsWith(QLatin1String("utf8")) && charset != QLatin1String("-")) {
            close();
            throw DatabaseError(QStringLiteral("データソース %1 の文字コードが %2 です。"
                                               "odbc.ini の CHARSET を utf8mb4 にしてください。")
                                    .arg(connection.database, charset));
        }
    }
}

void Database::close() {
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
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

void Database::check_open() const {
    if (!is_open())
        throw DatabaseError(QStringLiteral("データベースに接続されていません"));
}

ResultTable Database::query_rows(const QString& statement, int column_count) {
    check_open();
    if (column_count < 1)
        throw DatabaseError(QStringLiteral("列の数が正しくありません"));
    QSqlQuery query(handle());
    query.setForwardOnly(true);
    const bool odbc = m_connection.driver == QLatin1String("QODBC");
    if (odbc)
        query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!query.exec(translate(statement)))
        throw DatabaseError(error_text(query.lastError()));
    if (odbc && m_dialect == Dialect::MySql)
        return fetch_odbc_rows(query, column_count);
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
        throw DatabaseError(error_text(query.lastError()));
    return table;
}

int Database::execute_sql(const QString& statement) {
    check_open();
    QSqlQuery query(handle());
    if (!query.exec(translate(statement)))
        throw DatabaseError(error_text(query.lastError()));
    return query.numRowsAffected();
}

Transaction::Transaction(Database& db) : m_db(db) {
    if (!m_db.is_open())
        throw DatabaseError(QStringLiteral("データベースに接続されていません"));
    if (!m_db.handle().transaction())
        throw DatabaseError(error_text(m_db.handle().lastError()));
}

Transaction::~Transaction() {
    if (!m_done)
        m_db.handle().rollback();
}

void Transaction::commit() {
    if (!m_db.handle().commit())
        throw DatabaseError(error_text(m_db.handle().lastError()));
    m_done = true;
}
