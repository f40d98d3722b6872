#pragma once

#include <QString>

class MainWindow;
class Prompter;
class Session;

// ファイル → 持ち出し…: asks for a folder and writes the laptop's program folder there.
void checkout_from_menu(Session& session, Prompter& prompter, MainWindow& main);
// ファイル → 同期: on a taken-out copy, brings its changes to the office and the office's back, asking
// each conflict; ends with the summary. An office out of reach is told, and work goes on.
void sync_from_menu(Session& session, Prompter& prompter, MainWindow& main);

// The main window's line about the copy ("" on the office's own database).
QString copy_notice_text(Session& session);
// Shows that line in the main window's status bar (label "copyNotice").
void update_copy_notice(Session& session, MainWindow& main);
