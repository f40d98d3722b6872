#pragma once

#include "ui/records/entry_window.h"

class QLineEdit;
class Prompter;
class Session;

// The screen deldata ("データ消去"): removes every activity record dated before a cut-off day.
class DeldataScreen : public EntryWindow {
    Q_OBJECT
public:
    DeldataScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

private:
    void delete_old();

    Session& m_session;
    Prompter& m_prompter;
    QLineEdit* m_text1 = nullptr;
};
