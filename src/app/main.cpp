#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>

#include "app/log_file.h"
#include "app/startup.h"
#include "app/user_folder.h"
#include "ui/app/program.h"

int main(int argc, char** argv) {
    // The options are read before the window system is reached, so --help works without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const SalesArguments parsed = parse_sales_arguments(arguments);
    switch (parsed.action) {
        case SalesArguments::Help:
            std::printf("%s\n", sales_usage_text().toLocal8Bit().constData());
            return 0;
        case SalesArguments::Version:
            std::printf("%s\n", sales_version_text().toLocal8Bit().constData());
            return 0;
        case SalesArguments::Error:
            std::fprintf(stderr, "%s\n%s\n", parsed.error.toLocal8Bit().constData(),
                         "sales --help で使い方を表示します。 (Try sales --help.)");
            return 2;
        case SalesArguments::Run:
            break;
    }
    // The log for support (ヘルプ → ログフォルダを開く) from the first message on.
    install_log_file();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("営業手帳"));
    QApplication::setDesktopFileName(QStringLiteral("eigyo-techo"));
    // The window icon: installed beside bin/, or made in the build tree.
    const QDir exe(QCoreApplication::applicationDirPath());
    for (const QString& icon :
         {exe.filePath(QStringLiteral("../share/icons/hicolor/256x256/apps/eigyo-techo.png")),
          exe.filePath(QStringLiteral("icons/256x256/eigyo-techo.png"))})
        if (QFileInfo::exists(icon)) {
            QApplication::setWindowIcon(QIcon(icon));
            break;
        }
    return start_program(app, parsed.folder);
}
