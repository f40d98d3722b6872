#pragma once

#include <QString>
#include <QStringList>

#include "db/result_table.h"

// A MySQL/MariaDB connection through the ODBC driver manager's ANSI functions. Statements go out as
// UTF-8 with their exact byte length and results and messages come back as UTF-8, so no text passes
// through the driver's UTF-16 conversion, which miscounts some Japanese characters.
class OdbcConnection {
public:
    OdbcConnection() = default;
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Opens the data source (a bare name, or a full connection text holding DRIVER= or SERVER=).
    // Throws DatabaseError.
    void open(const QString& data_source);
    void close();
    bool is_open() const { return m_dbc != nullptr; }

    ResultTable query(const QString& statement, int column_count);
    QStringList column_names(const QString& statement);
    int execute(const QString& statement);

    void begin();
    void end(bool commit);

private:
    class Statement;
    [[noreturn]] void fail(short handle_type, void* handle, const QString& context);

    void* m_env = nullptr;
    void* m_dbc = nullptr;
    bool m_lost = false;  // the server went away: every further statement fails
};
