#include "mail/token_store.h"

#include <fcntl.h>
#include <qt6keychain/keychain.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "app/log_file.h"
#include "mail/curl_transfer.h"

namespace {

const QString kService = QStringLiteral("eigyo-techo");
const QString kWarnedKey = QStringLiteral("warning_shown");

QString entry_key(const QString& account_key) {
    return QStringLiteral("mail-signin-") + account_key;
}

// Runs a keychain job to its end: the jobs finish through the event loop.
void run(QKeychain::Job& job) {
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

QJsonObject to_json(const StoredSignIn& s) {
    return {{QStringLiteral("refresh_token"), s.refresh_token},
            {QStringLiteral("user"), s.user},
            {QStringLiteral("signed_in"), s.signed_in}};
}

StoredSignIn from_json(const QJsonObject& o) {
    return {o.value(QStringLiteral("refresh_token")).toString(), o.value(QStringLiteral("user")).toString(),
            o.value(QStringLiteral("signed_in")).toString()};
}

QJsonObject read_file() {
    QFile file(token_file_path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Written whole through a file that is made readable by the user alone before anything is in it.
bool write_file(const QJsonObject& all) {
    const QString path = token_file_path();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    ::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 0700);
    const QByteArray temp = QFile::encodeName(path + QStringLiteral(".tmp"));
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const QByteArray data = QJsonDocument(all).toJson(QJsonDocument::Indented);
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    const bool ok = written == data.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    return true;
}

}  // namespace

QString token_account_key(const QString& token_url, const QString& client_id, const QString& user) {
    const QByteArray text =
        (token_url.trimmed() + u'\n' + client_id.trimmed() + u'\n' + user.trimmed().toLower()).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32));
}

QString token_file_path() {
    const QString set = qEnvironmentVariable("XDG_STATE_HOME");
    const QString state = !set.isEmpty() && QDir::isAbsolutePath(set)
                              ? set
                              : QDir(QStandardPaths::writableLocation(QStandardPaths::HomeLocation))
                                    .filePath(QStringLiteral(".local/state"));
    return QDir(state).filePath(QStringLiteral("eigyo-techo/mail-tokens.json"));
}

bool keyring_available() {
    static const bool available = [] {
        QKeychain::ReadPasswordJob probe(kService);
        probe.setKey(QStringLiteral("probe"));
        run(probe);
        const bool answered =
            probe.error() == QKeychain::NoError || probe.error() == QKeychain::EntryNotFound;
        qCInfo(lcMail).noquote() << (answered ? "keyring: available"
                                              : "keyring: not available (" + probe.errorString() + ")");
        return answered;
    }();
    return available;
}

std::optional<StoredSignIn> load_sign_in(const QString& account_key) {
    if (keyring_available()) {
        QKeychain::ReadPasswordJob job(kService);
        job.setKey(entry_key(account_key));
        run(job);
        if (job.error() == QKeychain::NoError) {
            const StoredSignIn s = from_json(QJsonDocument::fromJson(job.textData().toUtf8()).object());
            if (!s.refresh_token.isEmpty()) {
                keep_out_of_log(s.refresh_token);
                return s;
            }
        }
    }
    // Kept in the file on a run without a keyring.
    const QJsonObject entry = read_file().value(account_key).toObject();
    if (entry.isEmpty())
        return std::nullopt;
    const StoredSignIn s = from_json(entry);
    if (s.refresh_token.isEmpty())
        return std::nullopt;
    keep_out_of_log(s.refresh_token);
    return s;
}

bool save_sign_in(const QString& account_key, const StoredSignIn& sign_in, TokenPlace* place,
                  QString* warning) {
    keep_out_of_log(sign_in.refresh_token);
    if (warning)
        warning->clear();
    if (keyring_available()) {
        QKeychain::WritePasswordJob job(kService);
        job.setKey(entry_key(account_key));
        job.setTextData(QString::fromUtf8(QJsonDocument(to_json(sign_in)).toJson(QJsonDocument::Compact)));
        run(job);
        if (job.error() == QKeychain::NoError) {
            // A copy left in the file from a run without the keyring is no longer needed.
            QJsonObject all = read_file();
            if (all.contains(account_key)) {
                all.remove(account_key);
                write_file(all);
            }
            if (place)
                *place = TokenPlace::Keyring;
            return true;
        }
        qCWarning(lcMail).noquote() << "keyring: could not store:" << job.errorString();
    }
    QJsonObject all = read_file();
    const bool warned = all.value(kWarnedKey).toBool();
    all.insert(account_key, to_json(sign_in));
    all.insert(kWarnedKey, true);
    if (!write_file(all)) {
        if (warning)
            *warning = QStringLiteral("サインインの情報を保存できませんでした: ") + token_file_path();
        return false;
    }
    if (place)
        *place = TokenPlace::File;
    if (warning && !warned)
        *warning =
            QStringLiteral(
                "パスワードを保管するキーリング（GNOME キーリングなど）が動いていないため、サインインの情報を"
                "このユーザーだけが読めるファイルに保存しました:\n%1\n"
                "このファイルをほかの人に渡さないでください。キーリングを使えるようにすると、次のサインインか"
                "ら"
                "キーリングに保存します。")
                .arg(QDir::toNativeSeparators(token_file_path()));
    return true;
}

void remove_sign_in(const QString& account_key) {
    if (keyring_available()) {
        QKeychain::DeletePasswordJob job(kService);
        job.setKey(entry_key(account_key));
        run(job);
    }
    QJsonObject all = read_file();
    if (all.contains(account_key)) {
        all.remove(account_key);
        write_file(all);
    }
}
