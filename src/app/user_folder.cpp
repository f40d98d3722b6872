#include "app/user_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#ifndef SALES_VERSION
#define SALES_VERSION "0"
#endif

namespace {
const QString kShareName = QStringLiteral("eigyo-techo");
const QString kFolderKey = QStringLiteral("program_folder");

// First existing of <exe>/../share/eigyo-techo/relative and <exe>/relative.
QString installed_file(const QString& relative) {
    const QDir exe(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {exe.filePath(QStringLiteral("../share/") + kShareName + u'/' + relative), exe.filePath(relative)})
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    return {};
}
}  // namespace

QString user_settings_file() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(kShareName + u'/' + kShareName + QStringLiteral(".conf"));
}

QString user_program_folder() {
    const QSettings settings(user_settings_file(), QSettings::IniFormat);
    const QString named = settings.value(kFolderKey).toString().trimmed();
    if (!named.isEmpty())
        return QDir::cleanPath(named);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation)).filePath(kUserFolderName);
}

bool remember_user_program_folder(const QString& folder) {
    QSettings settings(user_settings_file(), QSettings::IniFormat);
    settings.setValue(kFolderKey, QDir(folder).absolutePath());
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool holds_sales_ini(const QString& folder) {
    return QFileInfo(QDir(folder).filePath(QStringLiteral("sales.ini"))).isFile();
}

QString find_program_folder(const QString& named_folder, const QString& working_folder) {
    if (!named_folder.isEmpty())
        return QDir(named_folder).absolutePath();
    if (holds_sales_ini(working_folder))
        return working_folder;
    return user_program_folder();
}

QString installed_help_file() {
    return installed_file(QStringLiteral("help/index.html"));
}

QStringList installed_print_fonts() {
    QStringList files;
    for (const char* name : {"fonts/eigyo-techo-print-regular.otf", "fonts/eigyo-techo-print-bold.otf"}) {
        const QString file = installed_file(QString::fromLatin1(name));
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

QString installed_translations_folder() {
    const QString file = installed_file(QStringLiteral("translations/qtbase_ja.qm"));
    return file.isEmpty() ? QString() : QFileInfo(file).path();
}

bool provide_help(const QString& folder) {
    const QDir dir(folder);
    const QString target = dir.filePath(QStringLiteral("help/index.html"));
    if (QFileInfo::exists(target))
        return true;
    const QString source = installed_help_file();
    if (source.isEmpty() || !dir.mkpath(QStringLiteral("help")))
        return false;
    return QFile::copy(source, target);
}

SalesArguments parse_sales_arguments(const QStringList& arguments) {
    // Options of the windowing layer that take a value, and those that stand alone.
    static const QStringList qt_with_value = {"-platform",        "-platformpluginpath",
                                              "-platformtheme",   "-plugin",
                                              "-qwindowgeometry", "-qwindowtitle",
                                              "-qwindowicon",     "-style",
                                              "-stylesheet",      "-display",
                                              "-geometry",        "-session"};
    static const QStringList qt_alone = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    SalesArguments result;
    auto fail = [&](const QString& message) {
        result.action = SalesArguments::Error;
        result.error = message;
        return result;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            result.action = SalesArguments::Help;
        } else if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            if (result.action != SalesArguments::Help)
                result.action = SalesArguments::Version;
        } else if (a == QLatin1String("--folder")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty())
                return fail(QStringLiteral("--folder のフォルダがありません。 (--folder needs a folder.)"));
            result.folder = arguments.at(++i);
        } else if (a.startsWith(QLatin1String("--folder="))) {
            result.folder = a.mid(9);
            if (result.folder.isEmpty())
                return fail(QStringLiteral("--folder のフォルダがありません。 (--folder needs a folder.)"));
        } else if (qt_with_value.contains(a)) {
            ++i;
        } else if (qt_alone.contains(a)) {
        } else if (a.startsWith(u'-')) {
            return fail(QStringLiteral("不明なオプションです: %1 (unknown option)").arg(a));
        } else {
            return fail(QStringLiteral("余分な引数です: %1 (unexpected argument)").arg(a));
        }
    }
    return result;
}

QString sales_usage_text() {
    return QStringLiteral(
               "使い方: sales [--folder フォルダ]\n"
               "営業手帳を起動します。プログラムフォルダは次の順に決まります:\n"
               "  --folder で指定したフォルダ、sales.ini のある現在のフォルダ、\n"
               "  ~/営業手帳 (設定ファイル %1 の program_folder で変更できます)。\n"
               "  フォルダがまだ無いときは「はじめに」の画面で作成します。\n"
               "オプション:\n"
               "  --folder フォルダ   このフォルダをプログラムフォルダとして使います\n"
               "  -h, --help          この説明を表示します\n"
               "  -v, --version       バージョンを表示します\n"
               "\n"
               "Usage: sales [--folder DIR]\n"
               "Starts 営業手帳 (sales notebook). The program folder is, in this order:\n"
               "  the one named by --folder, the current folder when it holds sales.ini,\n"
               "  ~/営業手帳 (or program_folder in %1).\n"
               "  A missing folder is made from the first-start window (はじめに).\n"
               "Options:\n"
               "  --folder DIR        use DIR as the program folder\n"
               "  -h, --help          show this help\n"
               "  -v, --version       show the version\n"
               "\n"
               "コマンドラインでの操作は sales-cli --help をご覧ください。 (See also sales-cli --help.)")
        .arg(QDir::toNativeSeparators(user_settings_file()));
}

QString sales_version_text() {
    return QStringLiteral("営業手帳 (sales) %1\nQt %2")
        .arg(QStringLiteral(SALES_VERSION), QString::fromLatin1(qVersion()));
}
