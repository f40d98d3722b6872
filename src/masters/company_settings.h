#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "db/stored_row.h"

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

// The company row as stored now; it also becomes the session's running settings, so what the
// screen shows and what mail uses are what is stored.
StoredRow load_company(Session& session);
// save_company for the session's row. With shown (the row as the screen read it) it first checks
// that no other PC changed it meanwhile (check receives what it found; see write_checked). After a
// save the session runs with the stored row at once, so mail uses the new servers. also_write, when
// given, runs in the same transaction after the row is written (settings kept beside the row).
QString save_company_settings(Session& session, const QStringList& fields, int business_type,
                              const StoredRow* shown = nullptr, StoredRow* stored = nullptr,
                              WriteCheck* check = nullptr, const std::function<void()>& also_write = {});
