#pragma once

#include <QString>
#include <QStringList>

#include "analysis/after_sales.h"

class Database;
class Session;

// The mail templates (テンプレート), addressed by their name, which is also the mail's subject.
struct MailTemplates {
    QStringList names;
    QStringList bodies;  // at the same positions as names
};
MailTemplates load_templates(Database& db);

// Refuses an empty name and a name already present (rows are addressed by name), with the message
// to show; empty when the template was added.
QString add_template(Database& db, const QString& name, const QString& body);
void save_template(Database& db, const QString& name, const QString& body);
// The row is kept in 削除済みデータ (by its name) in the same transaction.
void delete_template(Database& db, const QString& name, const QString& employee = QString());

// The body a new template starts with: a greeting with both placeholders and the company's
// signature from the company row. Lines end in "\n".
QString default_template_body(const Session& session);

// Titles of the inquiries that mail intake registered for known customers (社員 'email').
QStringList unread_titles(Database& db);

// The buyers of one goods item (one name per order line); the goods offered come from goods_choice.
QStringList goods_buyers(Database& db, const QString& goods_id);
