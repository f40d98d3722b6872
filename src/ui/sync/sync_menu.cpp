#include <QAction>
#include <QEvent>

#include "app/session.h"
#include "sync/sync_tables.h"
#include "ui/common/prompter.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "ui/sync/sync_commands.h"

namespace {

// Brings the main window's line about the copy up to date whenever the window comes to the front
// (after a save in another window, for example).
class CopyNoticeWatch : public QObject {
public:
    CopyNoticeWatch(Session& session, MainWindow& main) : QObject(&main), m_session(session), m_main(main) {
        main.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_main && (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show))
            update_copy_notice(m_session, m_main);
        return false;
    }

private:
    Session& m_session;
    MainWindow& m_main;
};

}  // namespace

void install_sync_screens(const ScreenContext& context) {
    Session& session = context.session;
    Prompter& prompter = context.prompter;
    MainWindow* main = &context.main;
    main->set_action(QStringLiteral("checkout"),
                     [&session, &prompter, main] { checkout_from_menu(session, prompter, *main); });
    main->set_action(QStringLiteral("sync"),
                     [&session, &prompter, main] { sync_from_menu(session, prompter, *main); });
    try {
        keep_journal_complete(*session.db);
    } catch (const DatabaseError& e) {
        prompter.inform(e.message());
    }
    auto* watch = new CopyNoticeWatch(session, *main);
    watch->setObjectName(QStringLiteral("copyNoticeWatch"));
    update_copy_notice(session, *main);
}
