#pragma once

#include <QDate>
#include <QStringList>
#include <QTextStream>
#include <QVector>
#include <functional>
#include <stdexcept>

#include "app/startup.h"

QTextStream& out();
QTextStream& err();

// Options that stand before the command: sales-cli [--as-of yyyy/mm/dd] COMMAND ...
struct CliContext {
    QDate as_of;  // invalid: the system clock
    QString folder;  // --folder DIR; empty: the current directory
    // The program folder the commands work in.
    QString program_folder() const;
};

// Wrong arguments: the message is printed and the program ends with status 2.
class CliUsageError : public std::runtime_error {
public:
    explicit CliUsageError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Opens the program folder that is the current directory, as the window program does at start-up
// (sales.ini, the database, the start-up values), with the clock fixed to --as-of when it was given.
// Throws StartupError. A command that only reads opens it with StartPurpose::ReadOnly.
void open_program_folder(Session& session, const CliContext& context,
                         StartPurpose purpose = StartPurpose::Work);

// Opens the program folder and runs work on its session. A start-up or database failure is printed
// and gives status 1, a CliUsageError status 2; otherwise work's status.
int with_program_folder(const CliContext& context, StartPurpose purpose,
                        const std::function<int(Session&)>& work);
inline int with_program_folder(const CliContext& context, const std::function<int(Session&)>& work) {
    return with_program_folder(context, StartPurpose::Work, work);
}

// A report: the first row holds the headings, every further row one line of the result.
using Report = QVector<QStringList>;
struct ReportEntry {
    QString name;   // as typed after "report"
    QString usage;  // the arguments after the name, for the usage text ("" when none)
    std::function<Report(Session& session, const QStringList& arguments)> make;
};
QVector<ReportEntry> cluster_abc_reports();  // report_cluster_abc.cpp
QVector<ReportEntry> ranking_reports();      // report_rankings.cpp

// The commands after the global options; each returns the exit status.
int run_init(const CliContext& context, const QStringList& arguments);        // main.cpp
int run_report(const CliContext& context, const QStringList& arguments);      // report.cpp
int run_fetch_mail(const CliContext& context, const QStringList& arguments);  // fetch_mail.cpp
int run_import(const CliContext& context, const QStringList& arguments);      // maintenance.cpp
int run_backup(const CliContext& context, const QStringList& arguments);      // maintenance.cpp
int run_add_employee(const CliContext& context, const QStringList& arguments);  // maintenance.cpp
int run_export(const CliContext& context, const QStringList& arguments);      // export.cpp
int run_postal(const CliContext& context, const QStringList& arguments);      // postal.cpp
int run_checkout(const CliContext& context, const QStringList& arguments);    // sync.cpp
int run_sync(const CliContext& context, const QStringList& arguments);        // sync.cpp
int run_mail(const CliContext& context, const QStringList& arguments);        // mail_signin.cpp
