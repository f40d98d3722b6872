#pragma once

#include <QString>
#include <stdexcept>

#include "app/session.h"

// A start-up failure with a message for the user; the program ends after showing it.
class StartupError : public std::runtime_error {
public:
    explicit StartupError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Reads the three values of sales.ini in the program folder into the session.
void read_sales_ini(Session& session);
// Writes sales.ini (one line of three quoted values).
void write_sales_ini(const QString& folder, const QString& first_entry, const QString& db_kind,
                     const QString& database_name);

// What a start is for. Work also removes the kept deleted rows past their keeping days; a read-only
// start (a report, an export) leaves every stored row as it is.
enum class StartPurpose { Work, ReadOnly };

// Opens the database and copies the employees, the company row and the table descriptions.
void load_startup_data(Session& session, StartPurpose purpose = StartPurpose::Work);

// Both of the above, with every failure turned into a StartupError naming its cause.
void start_session(Session& session, StartPurpose purpose = StartPurpose::Work);
