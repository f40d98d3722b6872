// The folding used by every search and the duplicate check: the table of single characters it answers
// most texts from gives exactly what ICU's transliterator gives, character by character and for
// every pair (a voiced mark or a half-width mark joins the character before it).
#include <QRandomGenerator>
#include <QtTest>

#include "db/text_fold.h"

class TestTextFold : public QObject {
    Q_OBJECT
private slots:
    void table_equals_icu_data();
    void table_equals_icu();
    void texts_data();
    void texts();
    void random_texts_equal_icu();
};

void TestTextFold::table_equals_icu_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("paired_first");  // each character of the block with each of this block
    QTest::addColumn<int>("paired_last");
    QTest::newRow("hiragana and katakana") << 0x3040 << 0x30FF << 0x3040 << 0x30FF;
    QTest::newRow("half-width and full-width forms") << 0xFF00 << 0xFFEF << 0xFF00 << 0xFFEF;
    QTest::newRow("kana before half-width forms") << 0x3040 << 0x30FF << 0xFF00 << 0xFFEF;
    QTest::newRow("half-width forms before kana") << 0xFF00 << 0xFFEF << 0x3040 << 0x30FF;
    QTest::newRow("CJK symbols and punctuation") << 0x3000 << 0x303F << 0x3040 << 0x30FF;
    QTest::newRow("ASCII and Latin-1") << 0x0020 << 0x00FF << 0x0300 << 0x036F;  // combining marks after
}

void TestTextFold::table_equals_icu() {
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, paired_first);
    QFETCH(int, paired_last);
    int compared = 0;
    for (int a = first; a <= last; ++a) {
        const QString one = QString(QChar(char16_t(a)));
        QCOMPARE(fold_text(one), fold_text_by_icu(one));
        for (int b = paired_first; b <= paired_last; ++b) {
            const QString two = one + QChar(char16_t(b));
            if (fold_text(two) != fold_text_by_icu(two))
                QFAIL(qPrintable(QStringLiteral("U+%1 U+%2: %3 / ICU %4")
                                     .arg(a, 4, 16, QLatin1Char('0'))
                                     .arg(b, 4, 16, QLatin1Char('0'))
                                     .arg(fold_text(two), fold_text_by_icu(two))));
            ++compared;
        }
    }
    QVERIFY(compared > 0);
}

void TestTextFold::texts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("half-width kana with marks") << "ｶﾞｯｺｳ ﾊﾟﾝ"
                                                << "がっこう ぱん";
    QTest::newRow("voiced mark written apart") << "か゛は゜"
                                               << "がぱ";
    QTest::newRow("full-width letters and digits") << "ＡＢＣ１２３"
                                                   << "abc123";
    QTest::newRow("katakana and letter case") << "ヤマダ Shoji"
                                              << "やまだ shoji";
    QTest::newRow("kanji untouched") << "山田商事"
                                     << "山田商事";
    QTest::newRow("outside the basic plane")
        << QString::fromUtf8("\xF0\xA0\xAE\xB7野家") << QString::fromUtf8("\xF0\xA0\xAE\xB7野家");
    QTest::newRow("compatibility sign") << "㈱山田"
                                        << "(株)山田";
    QTest::newRow("prolonged mark takes the vowel before") << "カレーライス"
                                                           << "かれえらいす";
    QTest::newRow("prolonged marks in a row") << "アーー"
                                              << "あああ";
    QTest::newRow("prolonged mark after a small tsu") << "キャッー"
                                                      << "きゃっう";
    QTest::newRow("prolonged mark after n") << "センター"
                                            << "せんたあ";
    QTest::newRow("prolonged mark at the start") << "ーー"
                                                 << "ーー";
    QTest::newRow("empty") << ""
                           << "";
}

void TestTextFold::texts() {
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(fold_text(text), folded);
    QCOMPARE(fold_text_by_icu(text), folded);
}

// Short texts of characters from all over the basic plane, kana and combining marks more often.
void TestTextFold::random_texts_equal_icu() {
    QRandomGenerator random(25);
    for (int i = 0; i < 50000; ++i) {
        QString text;
        const int length = 1 + int(random.bounded(6));
        for (int k = 0; k < length; ++k) {
            const int kind = int(random.bounded(8));
            char16_t c = kind < 2   ? char16_t(0x3000 + random.bounded(0x100))
                         : kind < 4 ? char16_t(0xFF00 + random.bounded(0xF0))
                         : kind < 5 ? char16_t(0x0300 + random.bounded(0x70))
                                    : char16_t(0x0020 + random.bounded(0xFFDF));
            if (QChar::isSurrogate(c))
                c = u'ア';
            text += QChar(c);
        }
        QVERIFY2(fold_text(text) == fold_text_by_icu(text), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestTextFold)
#include "test_text_fold.moc"
