#pragma once

class Prompter;
class QWidget;
class Session;

// The file menu's import ("読み込み(顧客)") and import_goods ("読み込み（商品）"): choose a CSV file,
// check it, import it with a progress dialog, and report the count or the problem.
void import_customers_from_menu(Session& session, Prompter& prompter, QWidget* parent);
void import_goods_from_menu(Session& session, Prompter& prompter, QWidget* parent);
