#include "db/odbc_connection.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>
#include <QVector>

#include <sql.h>
#include <sqlext.h>

#include "db/cell_text.h"
#include "db/database_error.h"

namespace {

// Messages from the MariaDB driver can carry a NUL and junk after Japanese text.
QString clean_message(const QByteArray& bytes) {
    QByteArray b = bytes;
    const int nul = b.indexOf('\0');
    if (nul >= 0)
        b.truncate(nul);
    return QString::fromUtf8(b).trimmed();
}

const QString kLostMessage = QStringLiteral(
    "データベースサーバーとの接続が切れました。作業内容を確認し、プログラムを起動し直してください。");

// SQLSTATEs and MySQL error numbers that mean the connection is gone.
bool connection_lost(const QByteArray& state, SQLINTEGER native) {
    return state.startsWith("08") || native == 1927 || native == 2006 || native == 2013 || native == 2055 ||
           native == 4031 || native == 5013 || native == 5014;
}

}  // namespace

// One statement handle, freed on every path.
class OdbcConnection::Statement {
public:
    Statement(OdbcConnection& connection) : m_connection(connection) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection.m_dbc, &m_handle)))
            connection.fail(SQL_HANDLE_DBC, connection.m_dbc, QStringLiteral("文を準備できません"));
    }
    ~Statement() {
        if (m_handle)
            SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT handle() const { return m_handle; }

    void run(const QString& text) {
        QByteArray utf8 = text.toUtf8();
        const SQLRETURN rc = SQLExecDirect(m_handle, reinterpret_cast<SQLCHAR*>(utf8.data()),
                                           static_cast<SQLINTEGER>(utf8.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            m_connection.fail(SQL_HANDLE_STMT, m_handle, QString());
    }

    SQLSMALLINT column_count() {
        SQLSMALLINT columns = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(m_handle, &columns)))
            m_connection.fail(SQL_HANDLE_STMT, m_handle, QString());
        return columns;
    }

    // Name and SQL type of column (from 1).
    QString describe(SQLUSMALLINT column, SQLSMALLINT* type) {
        SQLCHAR name[1024];
        SQLSMALLINT length = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(m_handle, column, name, sizeof name, &length, type, &size, &digits,
                                          &nullable)))
            m_connection.fail(SQL_HANDLE_STMT, m_handle, QString());
        const int n = std::min<int>(length, int(sizeof name) - 1);
        return QString::fromUtf8(reinterpret_cast<const char*>(name), std::max(0, n));
    }

    // Column (from 1) of the current row as the value cell_text formats; NULL is an invalid value.
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
                // Not fromUtf8(), which drops a text's leading U+FEFF as if it were a byte-order mark.
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
                return QString(utf8.decode(bytes));
            }
        }
    }

private:
    // False for NULL.
    bool fixed(SQLUSMALLINT column, SQLSMALLINT c_type, SQLPOINTER target, SQLLEN size) {
        SQLLEN indicator = 0;
        if (!SQL_SUCCEEDED(SQLGetData(m_handle, column, c_type, target, size, &indicator)))
            m_connection.fail(SQL_HANDLE_STMT, m_handle,
                              QStringLiteral("結果の %1 列目を読めませんでした").arg(column));
        return indicator != SQL_NULL_DATA;
    }

    // Reads the value in pieces; false for NULL. An empty text is true with no bytes.
    bool variable(SQLUSMALLINT column, SQLSMALLINT c_type, QByteArray& bytes) {
        const bool terminated = c_type == SQL_C_CHAR;
        char buffer[8192];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_handle, column, c_type, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA)
                return true;
            if (!SQL_SUCCEEDED(rc))
                m_connection.fail(SQL_HANDLE_STMT, m_handle,
                                  QStringLiteral("結果の %1 列目を読めませんでした").arg(column));
            if (indicator == SQL_NULL_DATA)
                return false;
            const SQLLEN room = terminated ? SQLLEN(sizeof buffer) - 1 : SQLLEN(sizeof buffer);
            const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > room) ? room : indicator;
            bytes.append(buffer, got);
            if (rc == SQL_SUCCESS)
                return true;
        }
    }

    OdbcConnection& m_connection;
    SQLHSTMT m_handle = nullptr;
};

OdbcConnection::~OdbcConnection() {
    close();
}

void OdbcConnection::open(const QString& data_source) {
    close();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env)))
        throw DatabaseError(QStringLiteral("ODBC ドライバマネージャを初期化できません"));
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
        m_dbc = nullptr;
        close();
        throw DatabaseError(QStringLiteral("ODBC の接続を準備できません"));
    }
    // A full connection text is used as it stands; a bare name is a data source. The driver must
    // never reconnect on its own: a new server session would lack the session settings below.
    const QString upper = data_source.toUpper();
    QString text = upper.contains(QLatin1String("DRIVER=")) || upper.contains(QLatin1String("SERVER="))
                       ? data_source
                       : QStringLiteral("DSN=") + data_source;
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    text += QStringLiteral("AUTO_RECONNECT=0;");
    QByteArray utf8 = text.toUtf8();
    SQLCHAR out[1024];
    SQLSMALLINT out_length = 0;
    const SQLRETURN rc = SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR*>(utf8.data()),
                                          static_cast<SQLSMALLINT>(utf8.size()), out, sizeof out, &out_length,
                                          SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        QString message;
        try {
            fail(SQL_HANDLE_DBC, m_dbc, QString());
        } catch (const DatabaseError& e) {
            message = e.message();
        }
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = nullptr;
        close();
        throw DatabaseError(QStringLiteral("データベースを開けません (%1): %2").arg(data_source, message));
    }
    m_lost = false;
}

void OdbcConnection::close() {
    if (m_dbc) {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = nullptr;
    }
    if (m_env) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = nullptr;
    }
}

void OdbcConnection::fail(short handle_type, void* handle, const QString& context) {
    QStringList texts;
    bool lost = false;
    for (SQLSMALLINT record = 1; record <= 10; ++record) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLCHAR message[4096];
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            SQLGetDiagRec(handle_type, handle, record, state, &native, message, sizeof message, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        const int n = std::min<int>(length, int(sizeof message) - 1);
        const QString text =
            clean_message(QByteArray(reinterpret_cast<const char*>(message), std::max(0, n)));
        if (!text.isEmpty() && !texts.contains(text))
            texts << text;
        lost = lost || connection_lost(QByteArray(reinterpret_cast<const char*>(state)), native);
    }
    if (!lost && m_dbc) {
        SQLUINTEGER dead = SQL_CD_FALSE;
        lost = SQL_SUCCEEDED(SQLGetConnectAttr(m_dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
               dead == SQL_CD_TRUE;
    }
    if (lost) {
        m_lost = true;
        throw DatabaseError(kLostMessage + QStringLiteral("\n") + texts.join(QLatin1Char('\n')));
    }
    QString text = texts.join(QLatin1Char('\n'));
    if (!context.isEmpty())
        text = text.isEmpty() ? context : context + QStringLiteral(": ") + text;
    if (text.isEmpty())
        text = QStringLiteral("データベースがエラーを返しました");
    throw DatabaseError(text);
}

ResultTable OdbcConnection::query(const QString& statement, int column_count) {
    if (m_lost)
        throw DatabaseError(kLostMessage);
    Statement s(*this);
    s.run(statement);
    ResultTable table(column_count);
    const SQLSMALLINT columns = s.column_count();
    if (columns == 0)
        return table;  // no result set: no rows
    if (columns < column_count)
        throw DatabaseError(
            QStringLiteral("結果の列が足りません (%1 列を要求、%2 列)").arg(column_count).arg(columns));
    QVector<SQLSMALLINT> types(column_count, SQL_UNKNOWN_TYPE);
    for (int c = 0; c < column_count; ++c)
        s.describe(SQLUSMALLINT(c + 1), &types[c]);
    for (;;) {
        const SQLRETURN rc = SQLFetch(s.handle());
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            fail(SQL_HANDLE_STMT, s.handle(), QStringLiteral("結果の行を読めませんでした"));
        QVector<QString> row;
        row.reserve(column_count);
        for (int c = 0; c < column_count; ++c)
            row.push_back(cell_text(s.value(SQLUSMALLINT(c + 1), types.at(c))));
        table.append_row(std::move(row));
    }
    return table;
}

QStringList OdbcConnection::column_names(const QString& statement) {
    if (m_lost)
        throw DatabaseError(kLostMessage);
    Statement s(*this);
    s.run(statement);
    QStringList names;
    const SQLSMALLINT columns = s.column_count();
    for (SQLSMALLINT c = 1; c <= columns; ++c) {
        SQLSMALLINT type = 0;
        names << s.describe(SQLUSMALLINT(c), &type);
    }
    return names;
}

int OdbcConnection::execute(const QString& statement) {
    if (m_lost)
        throw DatabaseError(kLostMessage);
    Statement s(*this);
    s.run(statement);
    SQLLEN rows = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(s.handle(), &rows)))
        rows = -1;
    return int(rows);
}

void OdbcConnection::begin() {
    if (m_lost)
        throw DatabaseError(kLostMessage);
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
        fail(SQL_HANDLE_DBC, m_dbc, QStringLiteral("トランザクションを開始できません"));
}

void OdbcConnection::end(bool commit) {
    if (!m_dbc)
        return;
    auto autocommit_on = [this] {
        SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    };
    if (!commit) {
        SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
        autocommit_on();
        return;
    }
    if (SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT))) {
        autocommit_on();
        return;
    }
    // Turning autocommit back on would commit what is pending: roll back first.
    QString message;
    try {
        fail(SQL_HANDLE_DBC, m_dbc, QStringLiteral("確定できませんでした"));
    } catch (const DatabaseError& e) {
        message = e.message();
    }
    SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
    autocommit_on();
    throw DatabaseError(message);
}
