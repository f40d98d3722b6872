// sales-cli: the command-line front end over the same logic as the window program.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>
#include <memory>

#include "app/log_file.h"
#include "app/program_folder.h"
#include "app/startup.h"
#include "app/user_folder.h"
#include "cli/cli_context.h"
#include "sync/sync_tables.h"

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

QString CliContext::program_folder() const {
    return folder.isEmpty() ? QDir::currentPath() : QDir(folder).absolutePath();
}

void open_program_folder(Session& session, const CliContext& context, StartPurpose purpose) {
    session.program_folder = context.program_folder();
    if (context.as_of.isValid())
        session.clock.fix(context.as_of);
    // Only a folder found to be a program folder (its sales.ini read, its database open) gets help/.
    start_session(session, purpose);
    provide_help(session.program_folder);
    keep_journal_complete(*session.db);  // a taken-out copy keeps every change, whatever command makes it
}

int with_program_folder(const CliContext& context, StartPurpose purpose,
                        const std::function<int(Session&)>& work) {
    Session session;
    try {
        open_program_folder(session, context, purpose);
        return work(session);
    } catch (const CliUsageError& e) {
        err() << e.message() << Qt::endl;
        return 2;
    } catch (const StartupError& e) {
        err() << e.message() << Qt::endl;
        return 1;
    } catch (const DatabaseError& e) {
        err() << e.message() << Qt::endl;
        return 1;
    }
}

int run_init(const CliContext& context, const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("現在のフォルダにプログラムフォルダを作成します。"));
    parser.addHelpOption();
    parser.addOption({"kind", "データベースの種類 (Jet, Mysql, Mssql)", "kind", "Jet"});
    parser.addOption({"database", "データベースファイル名 (Jet) またはデータソース名", "name"});
    parser.addOption({"demo", "サンプルデータを入れる"});
    parser.addOption({"customers", "サンプルの顧客数", "n", "300"});
    parser.addOption({"as-of", "サンプルデータの基準日 (yyyy/mm/dd)", "date"});
    parser.process(arguments);

    InitOptions options;
    if (context.as_of.isValid())
        options.demo_options.as_of = context.as_of;
    options.folder = context.program_folder();
    if (!QDir().mkpath(options.folder)) {
        err() << "フォルダを作成できません: " << QDir::toNativeSeparators(options.folder) << Qt::endl;
        return 1;
    }
    options.db_kind = parser.value("kind");
    options.database_name = parser.value("database");
    options.demo = parser.isSet("demo");
    bool ok = false;
    options.demo_options.customers = parser.value("customers").toInt(&ok);
    if (!ok || options.demo_options.customers < 0) {
        err() << "顧客数が正しくありません: " << parser.value("customers") << Qt::endl;
        return 2;
    }
    if (parser.isSet("as-of")) {
        const QDate d = QDate::fromString(parser.value("as-of"), QStringLiteral("yyyy/MM/dd"));
        if (!d.isValid()) {
            err() << "日付が正しくありません: " << parser.value("as-of") << Qt::endl;
            return 2;
        }
        options.demo_options.as_of = d;
    }
    options.help_source = installed_help_file();
    try {
        init_program_folder(options, [](const QString& line) { out() << line << Qt::endl; });
    } catch (const StartupError& e) {
        err() << e.message() << Qt::endl;
        return 1;
    } catch (const DatabaseError& e) {
        err() << e.message() << Qt::endl;
        return 1;
    }
    out() << "作成しました: " << QDir::toNativeSeparators(options.folder) << Qt::endl;
    return 0;
}

namespace {

const char* const kUsage =
    "使い方: sales-cli [--folder フォルダ] [--as-of yyyy/mm/dd] COMMAND ...\n"
    "  init [--kind Jet|Mysql|Mssql] [--database 名前] [--demo] [--customers N] [--as-of yyyy/mm/dd]\n"
    "  report NAME ... [--format tsv|csv|pdf] [--output FILE] [--shift-jis]\n"
    "                           分析結果を出力します (既定はタブ区切りで標準出力、report だけで一覧)\n"
    "  fetch-mail               問い合わせメールを受信して登録し、件数を出力します\n"
    "  mail signin [--no-browser]   会社情報のメールアカウントにブラウザでサインインします\n"
    "                           (--no-browser: 開くアドレスを表示して待ちます)\n"
    "  import customers|goods FILE   顧客または商品の CSV を読み込みます\n"
    "  export customers|goods FILE [--shift-jis]   import で読み戻せる CSV を書き出します\n"
    "  backup TARGET            データベースを TARGET にバックアップします\n"
    "  add-employee 氏名 かな [--email アドレス] [--department 部署]\n"
    "                           社員 (ログインする担当者) を登録します\n"
    "  postal CODE | --address TEXT   郵便番号の住所、住所の郵便番号を表示します\n"
    "  postal update FILE       日本郵便の KEN_ALL.CSV / utf_ken_all.csv (ZIP も可) で\n"
    "                           郵便番号データを更新します\n"
    "  checkout DIR             ノートPC用に持ち出すプログラムフォルダを DIR に作ります\n"
    "  sync [--on-conflict stop|office|laptop]\n"
    "                           持ち出したコピーの変更を事務所に送り、事務所の変更を受け取ります\n"
    "                           (競合が残ると終了コード 3)\n"
    "--as-of は今日の日付の代わりに使う日付です。\n"
    "--folder はプログラムフォルダです (既定は現在のフォルダ)。\n"
    "-h, --help でこの説明を表示します。\n"
    "\n"
    "Usage: sales-cli [--folder DIR] [--as-of yyyy/mm/dd] COMMAND ...\n"
    "  init [--kind Jet|Mysql|Mssql] [--database NAME] [--demo] [--customers N] [--as-of yyyy/mm/dd]\n"
    "                           make a program folder (sales.ini, database, mail/, help/)\n"
    "  report NAME ... [--format tsv|csv|pdf] [--output FILE] [--shift-jis]\n"
    "                           print an analysis (default: tab-separated to standard output;\n"
    "                           report alone lists them)\n"
    "  fetch-mail               fetch inquiry mail, register it and print the count\n"
    "  mail signin [--no-browser]   sign the company mail account in, in the browser\n"
    "                           (--no-browser: print the address to open and wait)\n"
    "  import customers|goods FILE   import a customer or goods CSV file\n"
    "  export customers|goods FILE [--shift-jis]   write a CSV file that import reads back\n"
    "  backup TARGET            back the database up to TARGET\n"
    "  add-employee NAME KANA [--email ADDRESS] [--department NAME]\n"
    "                           register an employee (someone who logs in)\n"
    "  postal CODE | --address TEXT   print the address of a postal code, or the codes of an address\n"
    "  postal update FILE       replace the postal table from Japan Post's KEN_ALL.CSV or\n"
    "                           utf_ken_all.csv (zipped or not)\n"
    "  checkout DIR             write a program folder for a laptop, a copy of the database, to DIR\n"
    "  sync [--on-conflict stop|office|laptop]\n"
    "                           send a taken-out copy's changes to the office and fetch the office's\n"
    "                           (status 3 when conflicts are left)\n"
    "--folder DIR works in the program folder DIR (default: the current directory).\n"
    "--as-of gives the date to use instead of today.\n"
    "-h, --help shows this text. Unknown options end with status 2.";

}  // namespace

// A PDF report lays out text, which needs a GUI application; it runs without a display.
bool wants_pdf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--format=pdf" || (a == "--format" && i + 1 < argc && QByteArray(argv[i + 1]) == "pdf"))
            return true;
    }
    return false;
}

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
    if (wants_pdf(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    install_log_file();
    QStringList arguments = QCoreApplication::arguments();
    CliContext context;
    // Global options stand before the command, in any order.
    auto take_value = [&](const QString& name, QString& value) {
        const QString& a = arguments.at(1);
        if (a.startsWith(name + u'=')) {
            value = arguments.takeAt(1).mid(name.size() + 1);
            return true;
        }
        if (a != name)
            return false;
        arguments.removeAt(1);
        value = arguments.size() >= 2 ? arguments.takeAt(1) : QString();
        return true;
    };
    while (arguments.size() >= 2) {
        QString value;
        if (take_value(QStringLiteral("--folder"), value)) {
            if (value.isEmpty()) {
                err() << "--folder のフォルダがありません。 (--folder needs a folder.)" << Qt::endl;
                return 2;
            }
            context.folder = value;
        } else if (take_value(QStringLiteral("--as-of"), value)) {
            if (value.isEmpty()) {
                err() << "--as-of の日付がありません。" << Qt::endl;
                return 2;
            }
            context.as_of = QDate::fromString(value, QStringLiteral("yyyy/MM/dd"));
            if (!context.as_of.isValid()) {
                err() << "日付が正しくありません: " << value << Qt::endl;
                return 2;
            }
        } else {
            break;
        }
    }
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") ||
        arguments.at(1) == QLatin1String("-h")) {
        out() << kUsage << Qt::endl;
        return arguments.size() < 2 ? 2 : 0;
    }
    const QString command = arguments.takeAt(1);
    if (command.startsWith(QLatin1Char('-'))) {
        err() << "不明なオプションです: " << command << " (unknown option)\n" << kUsage << Qt::endl;
        return 2;
    }
    using Command = int (*)(const CliContext&, const QStringList&);
    const std::pair<const char*, Command> commands[] = {
        {"init", run_init},
        {"report", run_report},
        {"fetch-mail", run_fetch_mail},
        {"import", run_import},
        {"backup", run_backup},
        {"export", run_export},
        {"add-employee", run_add_employee},
        {"postal", run_postal},
        {"checkout", run_checkout},
        {"sync", run_sync},
        {"mail", run_mail},
    };
    for (const auto& [name, run] : commands)
        if (command == QLatin1String(name))
            return run(context, arguments);
    err() << "不明なコマンドです: " << command << "\n" << kUsage << Qt::endl;
    return 2;
}
