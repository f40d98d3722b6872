#include "db/dialect.h"

#include <algorithm>

#include <QRegularExpression>

#include "db/database_error.h"

namespace {

struct DateParts {
    QString year, month, day;
};

// Parses the inside of a #…# literal: y/m/d with one- or two-digit month and day.
bool parse_date_literal(const QString& text, DateParts& parts) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d{4})[/-](\d{1,2})[/-](\d{1,2})\s*$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    parts.year = m.captured(1);
    parts.month = m.captured(2).rightJustified(2, QLatin1Char('0'));
    parts.day = m.captured(3).rightJustified(2, QLatin1Char('0'));
    return true;
}

QString date_literal(const DateParts& d, Dialect dialect) {
    switch (dialect) {
        case Dialect::Sqlite:
            return QStringLiteral("'%1/%2/%3'").arg(d.year, d.month, d.day);
        case Dialect::MySql:
            return QStringLiteral("'%1-%2-%3'").arg(d.year, d.month, d.day);
        case Dialect::SqlServer:
            return QStringLiteral("'%1%2%3'").arg(d.year, d.month, d.day);
    }
    return QString();
}

// Days from the column's date to the literal's date.
QString day_difference(const DateParts& d, const QString& column, Dialect dialect) {
    switch (dialect) {
        case Dialect::Sqlite:
            return QStringLiteral("(julianday('%1-%2-%3')-julianday(replace(%4,'/','-')))")
                .arg(d.year, d.month, d.day, column);
        case Dialect::MySql:
            return QStringLiteral("DATEDIFF('%1-%2-%3',%4)").arg(d.year, d.month, d.day, column);
        case Dialect::SqlServer:
            return QStringLiteral("DATEDIFF(day,%4,'%1%2%3')").arg(d.year, d.month, d.day, column);
    }
    return QString();
}

QString identifier(const QString& name, Dialect dialect) {
    if (dialect == Dialect::MySql)
        return QLatin1Char('`') + name + QLatin1Char('`');
    return QLatin1Char('[') + name + QLatin1Char(']');
}

class Translator {
public:
    Translator(const QString& s, Dialect d) : m_s(s), m_d(d) {}

    QString run() {
        QString out;
        out.reserve(m_s.size() + 16);
        int i = 0;
        const int n = m_s.size();
        while (i < n) {
            const QChar c = m_s.at(i);
            if (c == QLatin1Char('\'')) {
                const int end = literal_end(i);
                // SQL Server converts a plain literal to the database's code page, which turns
                // Japanese into '?' unless the collation is Japanese: text literals are Unicode there.
                if (m_d == Dialect::SqlServer && !(i > 0 && is_word_char(m_s.at(i - 1))))
                    out += QLatin1Char('N');
                out += m_s.mid(i, end - i);
                i = end;
            } else if (c == QLatin1Char('(') && try_day_difference(i, out)) {
                // consumed by try_day_difference
            } else if (c == QLatin1Char('#') && try_date(i, out)) {
                // consumed
            } else if (c == QLatin1Char('[') && try_identifier(i, out)) {
                // consumed
            } else {
                out += c;
                ++i;
            }
        }
        return out;
    }

private:
    static bool is_word_char(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

    // Index just past the closing quote of the literal starting at `start` ('' stays inside).
    int literal_end(int start) const {
        int i = start + 1;
        const int n = m_s.size();
        while (i < n) {
            if (m_s.at(i) == QLatin1Char('\'')) {
                if (i + 1 < n && m_s.at(i + 1) == QLatin1Char('\'')) {
                    i += 2;
                    continue;
                }
                return i + 1;
            }
            ++i;
        }
        return n;
    }

    bool read_date(int& i, DateParts& parts) const {
        if (i >= m_s.size() || m_s.at(i) != QLatin1Char('#'))
            return false;
        const int close = m_s.indexOf(QLatin1Char('#'), i + 1);
        if (close < 0 || !parse_date_literal(m_s.mid(i + 1, close - i - 1), parts))
            return false;
        i = close + 1;
        return true;
    }

    void skip_blanks(int& i) const {
        while (i < m_s.size() && m_s.at(i).isSpace())
            ++i;
    }

    bool try_date(int& i, QString& out) const {
        DateParts parts;
        int j = i;
        if (!read_date(j, parts))
            return false;
        out += date_literal(parts, m_d);
        i = j;
        return true;
    }

    // (#date#-column): the column expression runs to the matching closing parenthesis.
    bool try_day_difference(int& i, QString& out) const {
        int j = i + 1;
        skip_blanks(j);
        DateParts parts;
        if (!read_date(j, parts))
            return false;
        skip_blanks(j);
        if (j >= m_s.size() || m_s.at(j) != QLatin1Char('-'))
            return false;
        ++j;
        const int column_start = j;
        int depth = 0;
        while (j < m_s.size()) {
            const QChar c = m_s.at(j);
            if (c == QLatin1Char('\'')) {
                j = literal_end(j);
                continue;
            }
            if (c == QLatin1Char('('))
                ++depth;
            if (c == QLatin1Char(')')) {
                if (depth == 0)
                    break;
                --depth;
            }
            ++j;
        }
        if (j >= m_s.size())
            return false;
        const QString column = Translator(m_s.mid(column_start, j - column_start).trimmed(), m_d).run();
        out += QLatin1Char('(') + day_difference(parts, column, m_d) + QLatin1Char(')');
        i = j + 1;
        return true;
    }

    bool try_identifier(int& i, QString& out) const {
        const int close = m_s.indexOf(QLatin1Char(']'), i + 1);
        if (close < 0)
            return false;
        const QString name = m_s.mid(i + 1, close - i - 1);
        if (name.isEmpty() || name.contains(QLatin1Char('[')) || name.contains(QLatin1Char('\'')))
            return false;
        out += identifier(name, m_d);
        i = close + 1;
        return true;
    }

    const QString& m_s;
    Dialect m_d;
};

}  // namespace

QString translate_statement(const QString& statement, Dialect dialect) {
    return Translator(statement, dialect).run();
}

QString bound_text(const QString& value) {
    // Almost every text holds neither: it is kept as it is.
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return c.unicode() == 0 || c.isSurrogate(); }))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QChar(0))
            continue;
        // Half of a surrogate pair is no character: a driver converting it may swallow the quote
        // that follows and so let the text change the statement.
        if (c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            out += c;
            out += value.at(++i);
            continue;
        }
        out += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
    }
    return out;
}

QString sql_text(const QString& value) {
    QString out = bound_text(value);
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QStringList explicit_key_insert(const QString& table, const QString& insert, Dialect dialect) {
    if (dialect != Dialect::SqlServer)
        return {insert};
    const QString name = QLatin1Char('[') + table + QLatin1Char(']');
    return {QStringLiteral("set identity_insert %1 on").arg(name), insert,
            QStringLiteral("set identity_insert %1 off").arg(name)};
}

QString insert_returning_key_statement(const QString& statement, const QString& key_column, Dialect dialect) {
    const QString translated = translate_statement(statement, dialect);
    if (dialect != Dialect::SqlServer)
        return translated;
    // The column list holds no literal, so the first ')' closes it and the output clause goes after it.
    const qsizetype open = translated.indexOf(QLatin1Char('('));
    const qsizetype close = open >= 0 ? translated.indexOf(QLatin1Char(')'), open) : -1;
    if (close < 0)
        throw DatabaseError(QStringLiteral("新しい行の番号を得られない文です: ") + statement);
    return translated.left(close + 1) + QStringLiteral(" output inserted.[") + key_column + QLatin1Char(']') +
           translated.mid(close + 1);
}

QString last_insert_key_statement(Dialect dialect) {
    switch (dialect) {
        case Dialect::Sqlite:
            return QStringLiteral("select last_insert_rowid()");
        case Dialect::MySql:
            return QStringLiteral("select last_insert_id()");
        case Dialect::SqlServer:
            break;
    }
    return QString();
}
