#include "db/database.h"

#include <QAtomicInt>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QRegularExpression>
#include <QSqlRecord>

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

Database::~Database() { close(); }

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
            throw DatabaseError(QStringLiteral("データベースを開けません (%1): %2")
                                    .arg(connection.database, message));
        }
    }
    if (connection.driver == QLatin1String("QSQLITE")) {
        // Activity rows outlive their customer, so no foreign keys; WAL keeps readers quick.
        execute_sql(QStringLiteral("PRAGMA foreign_keys = OFF"));
        query_rows(QStringLiteral("PRAGMA journal_mode = WAL"), 1);
        execute_sql(QStringLiteral("PRAGMA synchronous = NORMAL"));
    } else if (m_dialect == Dialect::MySql) {
        // A backslash must be plain text, as typed; without this it would be an escape character.
        execute_sql(QStringLiteral("SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"));
        execute_sql(QStringLiteral("SET NAMES utf8mb4"));
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

QSqlDatabase Database::handle() const { return QSqlDatabase::database(m_name, false); }

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
