#include "mail/mail_templates.h"

#include "app/session.h"
#include "db/database.h"
#include "db/deleted_rows.h"
#include "db/dialect.h"

MailTemplates load_templates(Database& db) {
    const ResultTable rows = db.query_rows(QStringLiteral("select * from テンプレート"), 2);
    MailTemplates result;
    for (int row = 1; row <= rows.row_count(); ++row) {
        result.names << rows(0, row);
        result.bodies << rows(1, row);
    }
    return result;
}

QString add_template(Database& db, const QString& name, const QString& body) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("タイトルを入力してください");
    const ResultTable same =
        db.query_rows(QStringLiteral("select count(*) from テンプレート where 名称=") + sql_text(name), 1);
    if (same(0, 1).toInt() > 0)
        return QStringLiteral("同じタイトルのテンプレートがあります");
    db.execute_sql(QStringLiteral("insert into テンプレート (名称,本文) values(") + sql_text(name) +
                   QLatin1Char(',') + sql_text(body) + QLatin1Char(')'));
    return QString();
}

void save_template(Database& db, const QString& name, const QString& body) {
    db.execute_sql(QStringLiteral("update テンプレート  set 本文=") + sql_text(body) +
                   QStringLiteral(" where 名称=") + sql_text(name));
}

void delete_template(Database& db, const QString& name, const QString& employee) {
    Transaction transaction(db);
    remember_deleted_rows(db, {QStringLiteral("テンプレート"), QStringLiteral("名称"), name, true}, employee);
    db.execute_sql(QStringLiteral("delete from テンプレート where 名称=") + sql_text(name));
    transaction.commit();
}

QString default_template_body(const Session& session) {
    const QString rule = QStringLiteral("---------------------------------");
    QStringList lines{QStringLiteral("こんにちは"),
                      QStringLiteral("{顧客名} 　{担当者} 様"),
                      QString(),
                      rule,
                      session.company_setting(2),
                      session.company_setting(3) + QLatin1Char('-') + session.company_setting(4),
                      session.company_setting(5),
                      session.company_setting(6),
                      session.company_setting(7),
                      session.company_setting(13),
                      rule};
    return lines.join(QLatin1Char('\n'));
}

QStringList unread_titles(Database& db) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,名称,内容 from 問い合わせ where 社員='email'"), 3);
    QStringList titles;
    for (int row = 1; row <= rows.row_count(); ++row)
        titles << rows(1, row);
    return titles;
}

QStringList goods_buyers(Database& db, const QString& goods_id) {
    bool numeric = false;
    goods_id.toLongLong(&numeric);
    if (!numeric)
        return {};
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客名 from 受注明細 where 商品ID=") + goods_id.trimmed(), 1);
    QStringList names;
    for (int row = 1; row <= rows.row_count(); ++row)
        names << rows(0, row);
    return names;
}
