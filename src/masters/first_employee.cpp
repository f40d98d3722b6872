#include "masters/first_employee.h"

#include "app/session.h"
#include "db/database.h"
#include "masters/company_settings.h"
#include "masters/master_records.h"
#include "records/number_text.h"

QString add_first_employee(Session& session, const QString& name, const QString& kana,
                           const QString& company_name) {
    Database& db = *session.db;
    ensure_company_row(session);
    {
        Transaction transaction(db);
        const QString problem =
            insert_master(db, MasterKind::Employees, {name.trimmed(), kana.trimmed(), QString(), QString()});
        if (!problem.isEmpty())
            return problem;  // rolled back: the company's name is not stored either
        if (!company_name.trimmed().isEmpty() && is_key(session.company_key))
            db.execute_sql(QStringLiteral("update 自社情報 set 会社名=%1 where id=%2")
                               .arg(sql_text(company_name.trimmed()), session.company_key.trimmed()));
        transaction.commit();
    }
    reload_employee_names(session);
    load_company(session);
    return QString();
}

void reload_employee_names(Session& session) {
    QStringList names;
    for (const MasterEntry& e : list_masters(*session.db, MasterKind::Employees))
        names << e.name;
    session.employee_names = names;
}
