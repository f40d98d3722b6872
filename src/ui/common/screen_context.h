#pragma once

class MainWindow;
class Prompter;
class Session;

// What a group of screens needs to hook itself into the main window's menu and buttons.
struct ScreenContext {
    Session& session;
    Prompter& prompter;
    MainWindow& main;
};

// Each group makes its screens on first use, keeps them (owned by the main window) and gives the
// main window's menu items their actions through MainWindow::set_action.
void install_mail_screens(const ScreenContext& context);         // mail: templates, single mail, unread, fetch
void install_cluster_abc_screens(const ScreenContext& context);  // cluster tree, ABC of customers and goods
void install_ranking_screens(const ScreenContext& context);      // RFM, rankings, after-sales, orders vs visits
void install_master_screens(const ScreenContext& context);       // company, employees, goods, import, backup
void install_export_print(const ScreenContext& context);  // ファイル → 書き出し, 印刷… of the chart
void install_sync_screens(const ScreenContext& context);  // ファイル → 持ち出し…, 同期, the copy's line

inline void install_all_screens(const ScreenContext& context) {
    install_mail_screens(context);
    install_cluster_abc_screens(context);
    install_ranking_screens(context);
    install_master_screens(context);
    install_export_print(context);
    install_sync_screens(context);
}
