#pragma once

#include <QPointer>
#include <QWidget>

class Prompter;
class Session;

// Keeps the screens opened from the main window: each is made at its first opening and afterwards
// hidden and shown again.
class Screens {
public:
    Screens(Session& session, Prompter& prompter, QWidget* main_window);
    ~Screens();
    // The entry links 0 to 5: order, estimate, visit, inquiry, claim, cost. A screen opened before
    // is shown again with what it held, its customer label following the customer shown now.
    void open_entry(int link);
    QWidget* entry_screen(int link) const;

private:
    QWidget* make_entry(int link);
    static void reopen(QWidget* screen);

    Session& m_session;
    Prompter& m_prompter;
    QWidget* m_main;
    QPointer<QWidget> m_entries[6];
};
