#include "db/statement_log.h"

#include <QRegularExpression>

// Silent until the log file is installed (see install_log_file).
Q_LOGGING_CATEGORY(lcDatabase, "sales.db", QtCriticalMsg)

QString elide_statement_values(const QString& statement) {
    QString out;
    out.reserve(statement.size());
    const qsizetype n = statement.size();
    auto word_char = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
    for (qsizetype i = 0; i < n;) {
        const QChar c = statement.at(i);
        if (c == QLatin1Char('\'')) {
            // A text literal; '' inside it is a quote, not its end. An unclosed one runs to the end.
            qsizetype j = i + 1;
            while (j < n) {
                if (statement.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && statement.at(j + 1) == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out += QStringLiteral("'?'");
            i = j + 1;
        } else if (c == QLatin1Char('#') && (i == 0 || !word_char(statement.at(i - 1)))) {
            const qsizetype end = statement.indexOf(QLatin1Char('#'), i + 1);
            if (end < 0) {
                out += c;
                ++i;
                continue;
            }
            out += QStringLiteral("#?#");
            i = end + 1;
        } else if (c.isDigit() && (i == 0 || !word_char(statement.at(i - 1)))) {
            qsizetype j = i;
            while (j < n && (statement.at(j).isDigit() || statement.at(j) == QLatin1Char('.')))
                ++j;
            if (j < n && word_char(statement.at(j))) {  // part of a name such as 1st_column
                out += statement.mid(i, j - i);
            } else {
                out += QLatin1Char('?');
            }
            i = j;
        } else if (c == QLatin1Char('[')) {
            // A bracketed name is copied whole, digits and all.
            const qsizetype end = statement.indexOf(QLatin1Char(']'), i);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += statement.mid(i, stop - i);
            i = stop;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

void log_database_error(const QString& statement, const QString& message) {
    qCWarning(lcDatabase).noquote() << "refused:" << elide_statement_values(statement).simplified() << "--"
                                    << message.simplified();
}
