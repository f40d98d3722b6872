#include "masters/company_settings.h"

#include "app/log_file.h"
#include "app/session.h"
#include "db/database.h"
#include "db/stored_row.h"
#include "records/number_text.h"

namespace {
// Columns 2 to 13 in field order; password and smtp are bracketed, they are reserved words elsewhere.
const char* const kTextColumns[] = {"会社名", "郵便番号1", "郵便番号2", "住所",       "TEL",    "FAX",
                                    "締め日", "pop",       "userid",    "[password]", "[smtp]", "email"};
}  // namespace

int business_type_of(const QString& stored) {
    const QString v = stored.trimmed().toLower();
    if (v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no"))
        return 0;
    if (v == QLatin1String("1") || v == QLatin1String("-1") || v == QLatin1String("true") ||
        v == QLatin1String("yes"))
        return 1;
    return -1;
}

void ensure_company_row(Session& session) {
    Database& db = *session.db;
    ResultTable row = db.query_rows(QStringLiteral("select * from 自社情報"), 15);
    if (row.row_count() == 0) {
        db.execute_sql(
            QStringLiteral("insert into 自社情報 "
                           "(消費税,会社名,郵便番号1,郵便番号2,住所,TEL,FAX,締め日,pop,userid,[password],"
                           "[smtp],email,業種タイプ) values(10,'','','','','','','','','','','','',0)"));
        row = db.query_rows(QStringLiteral("select * from 自社情報"), 15);
    }
    if (!session.company_key.isEmpty() || row.row_count() == 0)
        return;
    session.company_key = row(0, 1);
    session.company_settings = QStringList(16, QString());
    for (int i = 1; i <= 14; ++i)
        session.company_settings[i] = row(i, 1);
    session.tax_rate = session.company_settings.at(1);
}

QString save_company(Database& db, const QString& key, const QStringList& fields, int business_type) {
    if (fields.size() != kCompanyFieldCount)
        return QStringLiteral("会社情報の項目が足りません");
    // The tax rate is spliced bare; a rate such as 8 or 10, fractions allowed.
    const std::optional<QString> tax = plain_number(fields.at(0));
    if (!tax || tax->isEmpty())
        return QStringLiteral("消費税: ") + kNumberMessage;
    if (business_type != 0 && business_type != 1)
        return QStringLiteral("業種タイプを選択してください");
    if (!is_key(key))
        return QStringLiteral("会社情報の行がありません");
    QString statement = QStringLiteral("update 自社情報  set 消費税=") + *tax;
    for (int i = 1; i < kCompanyFieldCount; ++i)
        statement +=
            QStringLiteral(", %1=%2").arg(QString::fromUtf8(kTextColumns[i - 1]), sql_text(fields.at(i)));
    statement += QStringLiteral(", 業種タイプ=%1 where id=%2").arg(business_type).arg(key.trimmed());
    db.execute_sql(statement);
    return QString();
}

namespace {
void run_with(Session& session, const StoredRow& row) {
    const QStringList texts = row_texts(row);
    session.company_key = texts.value(0);
    session.company_settings = QStringList(16, QString());
    for (int i = 1; i <= 14; ++i)
        session.company_settings[i] = texts.value(i);
    session.tax_rate = session.company_settings.at(1);
}
}  // namespace

StoredRow load_company(Session& session) {
    ensure_company_row(session);
    const auto read = [&] {
        return read_stored_row(
            *session.db, {QStringLiteral("自社情報"), QStringLiteral("id"), session.company_key.trimmed()});
    };
    StoredRow row = is_key(session.company_key) ? read() : StoredRow{};
    if (!row.found) {
        // The row the session knew was deleted elsewhere: take (or make) the one there is now.
        session.company_key.clear();
        ensure_company_row(session);
        if (is_key(session.company_key))
            row = read();
    }
    if (row.found && row.values.size() >= 15)
        run_with(session, row);
    return row;
}

QString save_company_settings(Session& session, const QStringList& fields, int business_type,
                              const StoredRow* shown, StoredRow* stored, WriteCheck* check,
                              const std::function<void()>& also_write) {
    if (check)
        *check = WriteCheck::Clear;
    if (!is_key(session.company_key))
        return save_company(*session.db, session.company_key, fields, business_type);
    // The company row's password is never written to the log, whatever message would carry it.
    if (fields.size() == kCompanyFieldCount)
        keep_out_of_log(fields.at(10));
    StoredRow after;
    QString problem;
    WriteCheck result = WriteCheck::Clear;
    try {
        result = write_checked(
            *session.db, {QStringLiteral("自社情報"), QStringLiteral("id"), session.company_key.trimmed()},
            shown, &after, [&] {
                problem = save_company(*session.db, session.company_key, fields, business_type);
                // A refused input undoes the group, in which nothing was written.
                if (!problem.isEmpty())
                    throw DatabaseError(problem);
                if (also_write)
                    also_write();
            });
    } catch (const DatabaseError&) {
        if (!problem.isEmpty())
            return problem;
        throw;
    }
    if (check)
        *check = result;
    if (result == WriteCheck::Clear && after.found && after.values.size() >= 15)
        run_with(session, after);  // mail uses the new servers at once
    if (stored)
        *stored = after;
    return QString();
}
