#include "app/table_csv.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

bool needs_quotes(const QString& value) {
    if (value.isEmpty())
        return false;
    for (QChar c : value)
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\n'))
            return true;
    // Blanks at either end would be dropped by readers that trim unquoted values.
    return value.front().isSpace() || value.back().isSpace();
}

bool plain_number(const QString& value) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d{1,3}(,\\d{3})+|\\d+)(\\.\\d+)?$"));
    return number.match(value).hasMatch();
}

bool starts_formula(const QString& value) {
    if (value.isEmpty())
        return false;
    const QChar c = value.front();
    return (c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r') &&
           !plain_number(value);
}

QString csv_text(const QVector<QStringList>& rows, CsvQuoting quoting) {
    QString text;
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& cell : row) {
            const QString v = excel_text_cell(cell);
            if (quoting == CsvQuoting::Every || needs_quotes(v))
                cells << QLatin1Char('"') + QString(v).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                             QLatin1Char('"');
            else
                cells << v;
        }
        text += cells.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return text;
}

// The first value that does not survive Shift_JIS; empty when all do.
QString first_unencodable(const QVector<QStringList>& rows) {
    for (const QStringList& row : rows) {
        for (const QString& v : row) {
            QStringEncoder encoder("Shift_JIS", QStringEncoder::Flag::Stateless);
            const QByteArray bytes = encoder.encode(v);
            QStringDecoder decoder("Shift_JIS", QStringDecoder::Flag::Stateless);
            const QString back = decoder.decode(bytes);
            if (encoder.hasError() || decoder.hasError() || back != v)
                return v;
        }
    }
    return QString();
}

}  // namespace

QString excel_text_cell(const QString& value) {
    return starts_formula(value) ? QLatin1Char('\'') + value : value;
}

QString round_trip_cell(const QString& value) {
    return starts_formula(value) || value.startsWith(QLatin1Char('\'')) ? QLatin1Char('\'') + value : value;
}

QString read_back_cell(const QString& value) {
    return value.startsWith(QLatin1Char('\'')) ? value.mid(1) : value;
}

QByteArray table_csv(const QVector<QStringList>& rows, CsvEncoding encoding, QString* error,
                     CsvQuoting quoting) {
    const QString text = csv_text(rows, quoting);
    if (encoding == CsvEncoding::Utf8Bom)
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    // ICU's Shift_JIS converter holds the Windows-31J characters (①, ㈱, ～) that Excel writes.
    QStringEncoder encoder("Shift_JIS", QStringEncoder::Flag::Stateless);
    if (!encoder.isValid()) {
        if (error)
            *error = QStringLiteral("Shift_JIS の変換が使えません。UTF-8 で書き出してください。");
        return {};
    }
    QByteArray bytes = encoder.encode(text);
    // The converter puts a substitute for what it cannot hold: compare value by value to name it.
    const QString lost = first_unencodable(rows);
    if (encoder.hasError() || !lost.isEmpty()) {
        if (error)
            *error =
                QStringLiteral("Shift_JIS で表せない文字を含む値があります: %1\nUTF-8 で書き出してください。")
                    .arg(lost);
        return {};
    }
    return bytes;
}

bool save_table_csv(const QString& path, const QVector<QStringList>& rows, CsvEncoding encoding,
                    QString& message, CsvQuoting quoting) {
    QString error;
    const QByteArray bytes = table_csv(rows, encoding, &error, quoting);
    if (!error.isEmpty()) {
        message = error;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        message = QStringLiteral("ファイルに書き出せませんでした: %1\n%2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    message.clear();
    return true;
}
