#include <QPointer>

#include "app/session.h"
#include "ui/common/prompter.h"
#include "ui/common/screen_context.h"
#include "ui/customers/deleted_rows_screen.h"
#include "ui/customers/main_window.h"
#include "ui/customers/merge_screen.h"
#include "ui/masters/backup_commands.h"
#include "ui/masters/company_screen.h"
#include "ui/masters/deldata_screen.h"
#include "ui/masters/goods_screen.h"
#include "ui/masters/import_csv.h"
#include "ui/masters/person_screen.h"

namespace {

// Keeps the master screens: each is made on first use and shown again afterwards; one discarded by
// the window's close control is made afresh.
class MasterScreens : public QObject {
public:
    MasterScreens(Session& session, Prompter& prompter, QObject* parent)
        : QObject(parent), m_session(session), m_prompter(prompter) {}
    ~MasterScreens() override {
        for (QPointer<QWidget>* s : {&m_person, &m_goods, &m_company, &m_deldata, &m_deleted_rows, &m_merge})
            delete s->data();
    }

    template <class Make>
    void open(QPointer<QWidget>& screen, Make make) {
        const bool was_visible = screen && screen->isVisible();
        if (!screen)
            screen = make();
        screen->show();
        if (was_visible)
            screen->raise();
        screen->activateWindow();
    }

    Session& m_session;
    Prompter& m_prompter;
    QPointer<QWidget> m_person;
    QPointer<QWidget> m_goods;
    QPointer<QWidget> m_company;
    QPointer<QWidget> m_deldata;
    QPointer<QWidget> m_deleted_rows;
    QPointer<QWidget> m_merge;
};

}  // namespace

void install_master_screens(const ScreenContext& context) {
    auto* screens = new MasterScreens(context.session, context.prompter, &context.main);
    screens->setObjectName(QStringLiteral("masterScreens"));
    Session& session = context.session;
    Prompter& prompter = context.prompter;
    MainWindow* main = &context.main;
    main->set_action(QStringLiteral("edit_person"), [screens, &session, &prompter] {
        screens->open(screens->m_person, [&] { return make_person_screen(session, prompter); });
    });
    main->set_action(QStringLiteral("edit_goods"), [screens, &session, &prompter] {
        screens->open(screens->m_goods, [&] { return make_goods_screen(session, prompter); });
    });
    main->set_action(QStringLiteral("edit_company"), [screens, &session, &prompter] {
        screens->open(screens->m_company, [&] { return new CompanyScreen(session, prompter); });
    });
    main->set_action(QStringLiteral("del_data"), [screens, &session, &prompter] {
        screens->open(screens->m_deldata, [&] { return new DeldataScreen(session, prompter); });
    });
    // The main window follows a restore or a merge: its list and the customer it shows.
    main->set_action(QStringLiteral("deleted_rows"), [screens, &session, &prompter, main] {
        const bool was_visible = screens->m_deleted_rows && screens->m_deleted_rows->isVisible();
        screens->open(screens->m_deleted_rows, [&] {
            auto* screen = new DeletedRowsScreen(session, prompter);
            QObject::connect(screen, &DeletedRowsScreen::restored, main,
                             [main](const QString& table, const QString& key) {
                                 main->customers_changed(
                                     {}, table == QStringLiteral("顧客") ? QStringList{key} : QStringList{});
                             });
            return screen;
        });
        // A screen left open lists what was deleted since it was first shown.
        if (was_visible)
            static_cast<DeletedRowsScreen*>(screens->m_deleted_rows.data())->refresh();
    });
    main->set_action(QStringLiteral("merge_customers"), [screens, &session, &prompter, main] {
        screens->open(screens->m_merge, [&] {
            auto* screen = new MergeScreen(session, prompter);
            QObject::connect(
                screen, &MergeScreen::merged, main,
                [main](const QString&, const QString& other) { main->customers_changed({other}, {}); });
            return screen;
        });
    });
    main->set_action(QStringLiteral("import"),
                     [&session, &prompter, main] { import_customers_from_menu(session, prompter, main); });
    main->set_action(QStringLiteral("import_goods"),
                     [&session, &prompter, main] { import_goods_from_menu(session, prompter, main); });
    main->set_action(QStringLiteral("backup"),
                     [&session, &prompter, main] { backup_from_menu(session, prompter, main); });
    main->set_action(QStringLiteral("change_DB"),
                     [&session, &prompter, main] { change_db_from_menu(session, prompter, main); });
}
