#include "ui/records/screens.h"

#include "app/session.h"
#include "records/activity_entry.h"
#include "ui/common/prompter.h"
#include "ui/customers/main_window.h"
#include "ui/records/activity_screen.h"
#include "ui/records/cost_screen.h"
#include "ui/records/order_screen.h"

Screens::Screens(Session& session, Prompter& prompter, QWidget* main_window)
    : m_session(session), m_prompter(prompter), m_main(main_window) {
    // An entry screen left open follows the customer the main window shows, so what it stores
    // always belongs to the customer its label names.
    if (auto* main = qobject_cast<MainWindow*>(main_window)) {
        auto follow = [this] {
            for (int link = 0; link < 6; ++link)
                if (m_entries[link] && m_entries[link]->isVisible())
                    reopen(m_entries[link]);
        };
        QObject::connect(main, &MainWindow::customer_shown, main, follow);
        // A customer no longer shown (deleted, merged away) is no longer named or saved for.
        QObject::connect(main, &MainWindow::customer_forgotten, main, follow);
    }
}

void Screens::reopen(QWidget* screen) {
    if (auto* order = qobject_cast<OrderScreen*>(screen))
        order->reopen();
    else if (auto* activity = qobject_cast<ActivityScreen*>(screen))
        activity->reopen();
    else if (auto* cost = qobject_cast<CostScreen*>(screen))
        cost->reopen();
}

Screens::~Screens() {
    for (auto& s : m_entries)
        delete s.data();
}

QWidget* Screens::entry_screen(int link) const {
    return link >= 0 && link < 6 ? m_entries[link].data() : nullptr;
}

void Screens::open_entry(int link) {
    if (link < 0 || link >= 6)
        return;
    if (m_session.current_customer_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    QWidget* screen = m_entries[link];
    const bool was_visible = screen && screen->isVisible();
    if (!screen) {
        screen = make_entry(link);
        m_entries[link] = screen;
        if (auto* main = qobject_cast<MainWindow*>(m_main))
            QObject::connect(static_cast<EntryWindow*>(screen), &EntryWindow::saved, main,
                             &MainWindow::show_status);
    } else {
        reopen(screen);
    }
    screen->show();
    // A screen that is open already may lie behind others; a newly shown one comes up on top.
    if (was_visible)
        screen->raise();
    screen->activateWindow();
}

QWidget* Screens::make_entry(int link) {
    switch (link) {
        case 0:
            return new OrderScreen(m_session, m_prompter);
        case 1:
            return new ActivityScreen(m_session, m_prompter, Activity::Estimate);
        case 2:
            return new ActivityScreen(m_session, m_prompter, Activity::Visit);
        case 3:
            return new ActivityScreen(m_session, m_prompter, Activity::Inquiry);
        case 4:
            return new ActivityScreen(m_session, m_prompter, Activity::Claim);
        default:
            return new CostScreen(m_session, m_prompter);
    }
}
