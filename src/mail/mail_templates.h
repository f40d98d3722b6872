#pragma once

#include <QString>
#include <QStringList>

#include "analysis/after_sales.h"
#include "db/stored_row.h"

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
// Stores the body and the title as edited into the template chosen under chosen_name. Refuses an empty
// title, a title another template has, and a chosen template that is no longer stored, with the message
// to show; empty when the template was saved (or when check, given, says another PC changed or deleted
// the chosen template since it was shown: then nothing is stored). See write_checked.
RowAddress template_address(const QString& name);
QString save_template(Database& db, const QString& chosen_name, const QString& name, const QString& body,
                      const StoredRow* shown = nullptr, StoredRow* stored = nullptr, WriteCheck* check = nullptr);
// The row is kept in 削除済みデータ (by its name) in the same transaction.
WriteCheck delete_template(Database& db, const QString& name, const QString& employee = QString(),
                           const StoredRow* shown = nullptr, StoredRow* stored = nullptr);

// The body a new template starts with: a greeting with both placeholders and the company's
// signature from the company row. Lines end in "\n".
QString default_template_body(const Session& session);

// Titles of the inquiries that mail intake registered for known customers (社員 'email').
QStringList unread_titles(Database& db);

// The buyers of one goods item, each name once, in the order of their first order line; the goods
// offered come from goods_choice.
QStringList goods_buyers(Database& db, const QString& goods_id);
