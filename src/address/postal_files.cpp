#include "address/postal_files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

struct Current {
    QString signature;  // the files as last looked at: path, size and time of each
    std::unique_ptr<PostalTable> table;
    QString problem;
};

Current& current() {
    static Current c;
    return c;
}

QString signature_of(const QStringList& paths) {
    QString s;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        s += path + u'|' + QString::number(info.exists() ? info.size() : -1) + u'|' +
             QString::number(info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0) + u'\n';
    }
    return s;
}

}  // namespace

QString shipped_postal_table_path() {
    // The same places as the installed help: <prefix>/share/eigyo-techo beside <prefix>/bin, or the
    // executable's own folder in a build tree.
    const QDir exe(QCoreApplication::applicationDirPath());
    const QString installed = exe.filePath(QStringLiteral("../share/eigyo-techo/postal/postal.dat"));
    if (QFileInfo::exists(installed))
        return QDir::cleanPath(installed);
    return exe.filePath(QStringLiteral("postal/postal.dat"));
}

QString updated_postal_table_path() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("eigyo-techo/postal.dat"));
}

const PostalTable* current_postal_table(QString* problem) {
    Current& c = current();
    const QString named = qEnvironmentVariable("SALES_POSTAL_TABLE");
    const QStringList paths = named.isEmpty()
                                  ? QStringList{updated_postal_table_path(), shipped_postal_table_path()}
                                  : QStringList{named};
    const QString signature = signature_of(paths);
    if (signature != c.signature) {
        c.signature = signature;
        c.table.reset();
        c.problem.clear();
        for (const QString& path : paths) {
            if (!QFileInfo::exists(path))
                continue;
            QString why;
            std::unique_ptr<PostalTable> table = PostalTable::open(path, &why);
            if (!table) {
                // A broken table of the user's does not hide the shipped one.
                if (c.problem.isEmpty())
                    c.problem = why;
                continue;
            }
            // Dates are yyyy/mm/dd, so text order is date order; the first (the user's) wins a tie.
            if (!c.table || table->date() > c.table->date())
                c.table = std::move(table);
        }
        if (c.table)
            c.problem.clear();
        else if (c.problem.isEmpty())
            c.problem =
                QStringLiteral("郵便番号データがありません: %1").arg(QDir::toNativeSeparators(paths.last()));
    }
    if (!c.table && problem)
        *problem = c.problem;
    return c.table.get();
}
