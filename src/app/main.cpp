#include <QApplication>
#include <QDir>

#include "app/startup.h"
#include "ui/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("営業手帳"));
    return run_program(app, QDir::currentPath());
}
