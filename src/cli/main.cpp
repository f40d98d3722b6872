// sales-cli: the command-line front end over the same logic as the window program.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include "app/program_folder.h"
#include "app/startup.h"

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

int run_init(const QStringList& arguments) {
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
    options.folder = QDir::currentPath();
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
    options.help_source =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("help/index.html"));
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") ||
        arguments.at(1) == QLatin1String("-h")) {
        out() << "使い方: sales-cli init [--kind Jet|Mysql|Mssql] [--database 名前] [--demo] [--customers N] "
                 "[--as-of yyyy/mm/dd]"
              << Qt::endl;
        return arguments.size() < 2 ? 2 : 0;
    }
    const QString command = arguments.takeAt(1);
    if (command == QLatin1String("init"))
        return run_init(arguments);
    err() << "不明なコマンドです: " << command << Qt::endl;
    return 2;
}
