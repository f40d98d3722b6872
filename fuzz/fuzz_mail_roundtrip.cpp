// A mail composed from any subject and body reads back as typed: the subject as one line (line
// breaks and tabs as one blank, trimmed), the body with its line ends as "\n".
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "fuzz_support.h"
#include "mail/bsmtp.h"

namespace {
QTemporaryDir* folder;

// Texts as a user can type them: valid UTF-16 with no control characters but tab and line ends
// (broken UTF-8 sequences are dropped).
QString typed(const char* bytes, qsizetype size) {
    QString text = QString::fromUtf8(bytes, size);
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return u == 0xFFFD || u == 0x7F || (u < 0x20 && u != u'\t' && u != u'\r' && u != u'\n');
    });
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz_application(argc, argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Subject and body are separated by the first NUL byte.
    const char* bytes = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(memchr(bytes, 0, size));
    const qsizetype subject_size = nul ? nul - bytes : qsizetype(size);
    const QString subject = typed(bytes, subject_size);
    const QString body = nul ? typed(nul + 1, qsizetype(size) - subject_size - 1) : QString();

    const QByteArray wire =
        compose_mail(QStringLiteral("to@example.com"), QStringLiteral("from@example.com"), subject, body);
    {
        QFile file(folder->filePath(QStringLiteral("m1.eml")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(wire);
    }
    const auto read = ReadMail(QStringLiteral("m1"), QStringLiteral("subject:"), folder->path());
    FUZZ_CHECK(read && read->size() == 2, "a composed mail could not be read:\n%s", wire.constData());
    // The subject is sent as one line: a run of line breaks and tabs is one blank, the ends trimmed.
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n\\t\\x{2028}\\x{2029}]+"));
    const QString expected_subject = QString(subject).replace(breaks, QStringLiteral(" ")).trimmed();
    QString expected_body = body;
    expected_body.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    FUZZ_CHECK(read->at(0) == expected_subject, "subject \"%s\" came back as \"%s\" from\n%s",
               qPrintable(expected_subject), qPrintable(read->at(0)), wire.constData());
    FUZZ_CHECK(read->at(1) == expected_body, "body \"%s\" came back as \"%s\"", qPrintable(expected_body),
               qPrintable(read->at(1)));
    return 0;
}
