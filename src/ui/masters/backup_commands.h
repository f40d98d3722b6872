#pragma once

class Prompter;
class QWidget;
class Session;

// The file menu's backup ("バックアップ"): proposes backup_yyyymmdd.mdb, copies the database there.
void backup_from_menu(Session& session, Prompter& prompter, QWidget* parent);
// The file menu's change_DB ("データベースファイルの切り替え"): makes another file the configured one.
void change_db_from_menu(Session& session, Prompter& prompter, QWidget* parent);
