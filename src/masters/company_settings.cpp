#include "masters/company_settings.h"

#include "app/session.h"
#include "db/database.h"
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
