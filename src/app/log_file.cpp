#include "app/log_file.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcStart, "sales.start", QtCriticalMsg)

QMutex g_mutex;  // guards everything below
QtMessageHandler g_previous = nullptr;
bool g_installed = false;
QStringList g_secrets;  // longest first, so a secret holding another is replaced whole

QString state_home() {
    const QString set = qEnvironmentVariable("XDG_STATE_HOME");
    if (!set.isEmpty() && QDir::isAbsolutePath(set))
        return set;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation))
        .filePath(QStringLiteral(".local/state"));
}

QString redacted(QString text) {
    for (const QString& secret : std::as_const(g_secrets))
        text.replace(secret, QStringLiteral("********"));
    return text;
}

void rotate(const QString& path) {
    QFile::remove(path + QStringLiteral(".%1").arg(kLogGenerations));
    for (int i = kLogGenerations - 1; i >= 1; --i)
        QFile::rename(path + QStringLiteral(".%1").arg(i), path + QStringLiteral(".%1").arg(i + 1));
    QFile::rename(path, path + QStringLiteral(".1"));
}

void write_line(const QString& line) {
    const QString path = log_file_path();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return;
    const QByteArray bytes = (redacted(line) + QLatin1Char('\n')).toUtf8();
    if (QFileInfo(path).size() + bytes.size() > kLogFileBytes)
        rotate(path);
    QFile file(path);
    // Only the user reads the log: it names customers' addresses and the servers.
    const bool fresh = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    if (fresh)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    file.write(bytes);
}

const char* level_name(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
            return "debug";
        case QtInfoMsg:
            return "info";
        case QtWarningMsg:
            return "warning";
        case QtCriticalMsg:
            return "critical";
        case QtFatalMsg:
            return "fatal";
    }
    return "";
}

QLoggingCategory::CategoryFilter g_previous_filter = nullptr;

// The program's categories are silent by default (tests, a run without the file); with the file,
// every level of them is written.
void filter(QLoggingCategory* category) {
    if (g_previous_filter)
        g_previous_filter(category);
    if (QByteArray(category->categoryName()).startsWith("sales.")) {
        for (QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
            category->setEnabled(type, true);
    }
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const QString category = QString::fromLatin1(context.category ? context.category : "default");
    const bool ours = category.startsWith(QLatin1String("sales."));
    {
        QMutexLocker lock(&g_mutex);
        write_line(QStringLiteral("%1 %2 [%3] %4: %5")
                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                       .arg(QCoreApplication::applicationPid())
                       .arg(category, QString::fromLatin1(level_name(type)), message));
    }
    if (!ours && g_previous)
        g_previous(type, context, message);
}

}  // namespace

QString log_folder() {
    return QDir(state_home()).filePath(QStringLiteral("eigyo-techo"));
}

QString log_file_path() {
    return QDir(log_folder()).filePath(QStringLiteral("sales.log"));
}

void install_log_file() {
    QMutexLocker lock(&g_mutex);
    if (g_installed)
        return;
    g_installed = true;
    g_previous = qInstallMessageHandler(handler);
    g_previous_filter = QLoggingCategory::installFilter(filter);
}

bool log_file_installed() {
    QMutexLocker lock(&g_mutex);
    return g_installed;
}

void append_log_line(const QString& line) {
    QMutexLocker lock(&g_mutex);
    write_line(line);
}

void keep_out_of_log(const QString& secret) {
    // Short texts (an empty password, "1") would blank out ordinary words.
    if (secret.trimmed().size() < 4)
        return;
    QMutexLocker lock(&g_mutex);
    if (g_secrets.contains(secret))
        return;
    g_secrets << secret;
    std::sort(g_secrets.begin(), g_secrets.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
}

QString without_secrets(QString text) {
    QMutexLocker lock(&g_mutex);
    return redacted(std::move(text));
}

void log_startup_facts(const QString& version, const QString& db_kind, const QString& database_name,
                       const QString& program_folder) {
    qCInfo(lcStart).noquote() << QStringLiteral("起動: %1, データベース %2 %3, フォルダ %4")
                                     .arg(version.simplified(), db_kind, database_name,
                                          QDir::toNativeSeparators(program_folder));
}
