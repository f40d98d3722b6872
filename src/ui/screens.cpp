#include "ui/screens.h"

#include "app/session.h"
#include "ui/prompter.h"

Screens::Screens(Session& session, Prompter& prompter, QWidget* main_window)
    : m_session(session), m_prompter(prompter), m_main(main_window) {}

Screens::~Screens() {
    for (auto& s : m_entries)
        delete s.data();
}

QWidget* Screens::entry_screen(int link) const { return link >= 0 && link < 6 ? m_entries[link].data() : nullptr; }

void Screens::open_entry(int link) {
    if (link < 0 || link >= 6)
        return;
    if (m_session.current_customer_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    m_prompter.inform(QStringLiteral("この機能は準備中です"));
}
