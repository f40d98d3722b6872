#include "ui/app/program.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <cstdio>

#include "app/session.h"
#include "app/startup.h"
#include "app/user_folder.h"
#include "ui/app/first_start_dialog.h"
#include "ui/app/login_window.h"
#include "ui/common/prompter.h"
#include "ui/common/screen_context.h"
#include "ui/common/window_places.h"
#include "ui/customers/main_window.h"
#include "ui/records/history_screens.h"
#include "ui/records/screens.h"

bool install_japanese_translation(QApplication& app) {
    static QTranslator* installed = nullptr;
    if (installed)
        return true;
    auto* translator = new QTranslator(&app);
    // Qt's own translations, else the copy installed with the program.
    bool loaded = false;
    for (const QString& folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath), installed_translations_folder()}) {
        if (!folder.isEmpty() && translator->load(QLocale(QLocale::Japanese, QLocale::Japan),
                                                  QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            loaded = true;
            break;
        }
    }
    if (!loaded) {
        delete translator;
        return false;
    }
    installed = translator;
    return QApplication::installTranslator(translator);
}

int run_program(QApplication& app, const QString& program_folder) {
    if (!install_japanese_translation(app))
        std::fprintf(stderr, "Qt の日本語訳 (qtbase_ja.qm) が見つかりません。ボタンは英語で表示されます。\n");
    Session session;
    session.program_folder = program_folder;
    try {
        start_session(session);
    } catch (const StartupError& e) {
        // Also on the terminal, for a start from a shell or a script.
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        QMessageBox::critical(nullptr, QStringLiteral("営業手帳"),
                              e.message() + QStringLiteral("\n\nプログラムを終了します。"));
        return 1;
    }

    DialogPrompter prompter;
    // The main window is made (hidden) while the login window loads, as its chart area is prepared.
    MainWindow main_window(session, prompter);
    // Every window reopens where it was last time, on the main window's screen.
    new WindowPlaces(&main_window);
    Screens screens(session, prompter, &main_window);
    main_window.set_entry_opener([&screens](int link) { screens.open_entry(link); });
    install_all_screens(ScreenContext{session, prompter, main_window});

    LoginWindow login(session);
    int status = 0;
    QObject::connect(&login, &LoginWindow::cancelled, &app, [&] {
        status = 0;
        app.quit();
    });
    // After the login comes today's jobs; closing it shows the main window with the employee's chart.
    auto* history = new HistoryScreens(session, prompter, main_window);
    QObject::connect(&login, &LoginWindow::confirmed, history, [history] { history->open_today_jobs(); });
    app.setQuitOnLastWindowClosed(false);
    login.show();
    const int code = app.exec();
    return code != 0 ? code : status;
}

int start_program(QApplication& app, const QString& named_folder) {
    install_japanese_translation(app);
    QString folder = find_program_folder(named_folder, QDir::currentPath());
    if (!holds_sales_ini(folder)) {
        DialogPrompter prompter;
        // A folder named on the command line is used for this start only.
        FirstStartDialog first(folder, prompter, named_folder.isEmpty());
        if (first.exec() != QDialog::Accepted)
            return 0;
        folder = first.folder();
    }
    provide_help(folder);
    // Names without a folder (sales.ini, the file dialogs' start) resolve to the program folder.
    if (!QDir::setCurrent(folder)) {
        std::fprintf(stderr, "%s\n", qPrintable(QStringLiteral("フォルダに移れません: ") + folder));
        return 1;
    }
    return run_program(app, QDir::currentPath());
}
