#include <sys/stat.h>

#include <QFile>
#include <QtTest>

#include "mail/token_store.h"

// Where a sign-in is kept: the keyring when one answers (this test runs once more inside a private
// D-Bus session with gnome-keyring, SALES_TEST_KEYRING=1), otherwise a file only the user may read.
class TestTokenStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sign_in_is_kept_and_forgotten_data();
    void sign_in_is_kept_and_forgotten();

private:
    QTemporaryDir m_state;
    bool m_keyring = false;
};

void TestTokenStore::initTestCase() {
    qputenv("XDG_STATE_HOME", m_state.path().toUtf8());
    m_keyring = qEnvironmentVariable("SALES_TEST_KEYRING") == QLatin1String("1");
    QCOMPARE(keyring_available(), m_keyring);
}

void TestTokenStore::sign_in_is_kept_and_forgotten_data() {
    QTest::addColumn<QString>("user");
    QTest::newRow("first account") << "sales@example.co.jp";
    QTest::newRow("second account") << "info@example.co.jp";
}

void TestTokenStore::sign_in_is_kept_and_forgotten() {
    QFETCH(QString, user);
    const QString key =
        token_account_key(QStringLiteral("https://login.example/token"), QStringLiteral("c1"), user);
    QVERIFY(key !=
            token_account_key(QStringLiteral("https://login.example/token"), QStringLiteral("c2"), user));
    QCOMPARE(key, token_account_key(QStringLiteral("https://login.example/token"), QStringLiteral("c1"),
                                    user.toUpper()));
    QVERIFY(!load_sign_in(key));
    const StoredSignIn kept{QStringLiteral("rt-") + user, user, QStringLiteral("2026/12/08 10:00")};
    TokenPlace place{};
    QString warning;
    QVERIFY(save_sign_in(key, kept, &place, &warning));
    QCOMPARE(place, m_keyring ? TokenPlace::Keyring : TokenPlace::File);
    // The notice of the file comes with the first sign-in kept there, and only then.
    const bool first = QTest::currentDataTag() == QLatin1String("first account");
    QCOMPARE(!warning.isEmpty(), !m_keyring && first);
    QFile file(token_file_path());
    const QByteArray in_file = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    QCOMPARE(in_file.contains(kept.refresh_token.toUtf8()), !m_keyring);
    if (!m_keyring) {
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(token_file_path()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
    }
    const std::optional<StoredSignIn> loaded = load_sign_in(key);
    QVERIFY(loaded);
    QCOMPARE(loaded->refresh_token, kept.refresh_token);
    QCOMPARE(loaded->user, user);
    QCOMPARE(loaded->signed_in, kept.signed_in);
    // A renewed token replaces the old one.
    QVERIFY(save_sign_in(key, {QStringLiteral("rt-renewed"), user, kept.signed_in}));
    QCOMPARE(load_sign_in(key)->refresh_token, QStringLiteral("rt-renewed"));
    remove_sign_in(key);
    QVERIFY(!load_sign_in(key));
}

QTEST_GUILESS_MAIN(TestTokenStore)
#include "test_token_store.moc"
