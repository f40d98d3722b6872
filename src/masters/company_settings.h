#pragma once

#include <QString>
#include <QStringList>

class Database;
class Session;

// The thirteen text fields of the company screen (自社情報 columns 1 to 13) and the business type.
inline constexpr int kCompanyFieldCount = 13;

// 業種タイプ as read back: 0 goods trade, 1 construction or project work, -1 neither (unreadable).
int business_type_of(const QString& stored);

// The company row must exist for the screen to save into it. When the table is empty a row with the
// default tax rate is inserted, and the session's start-up copy is filled from it.
void ensure_company_row(Session& session);

// Checks the fields and updates the row addressed by key. Returns the message for the user when the
// input is refused (nothing is written then); empty when saved.
QString save_company(Database& db, const QString& key, const QStringList& fields, int business_type);
