#include "app/sequential_values.h"

#include <QStringDecoder>

namespace {

bool is_line_end(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}
bool is_blank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0x3000);
}

}  // namespace

bool SequentialReader::at_end() const {
    if (m_after_comma)
        return false;  // the empty value after a trailing comma is still to come
    // Trailing blanks and line ends hold no value.
    for (int i = m_pos; i < m_text.size(); ++i) {
        const QChar c = m_text.at(i);
        if (!is_blank(c) && !is_line_end(c))
            return false;
    }
    return true;
}

bool SequentialReader::next(QString& value) {
    const int n = m_text.size();
    if (m_after_comma) {
        m_after_comma = false;
        int p = m_pos;
        while (p < n && is_blank(m_text.at(p)))
            ++p;
        if (p >= n || is_line_end(m_text.at(p))) {
            m_pos = p;
            value.clear();
            return true;
        }
    }
    // Skip line ends and blanks before a value.
    while (m_pos < n && (is_line_end(m_text.at(m_pos)) || is_blank(m_text.at(m_pos))))
        ++m_pos;
    if (m_pos >= n)
        return false;
    value.clear();
    const QChar* text = m_text.constData();
    if (text[m_pos] == QLatin1Char('"')) {
        // A doubled quote inside the quotes is one quote of the value, as spreadsheets write it.
        // The value is taken in runs between such quotes.
        int p = m_pos + 1;
        int run = p;
        bool closed = false;
        while (p < n) {
            if (text[p] == QLatin1Char('"')) {
                if (p > run)
                    value.append(text + run, p - run);
                if (p + 1 < n && text[p + 1] == QLatin1Char('"')) {
                    value += QLatin1Char('"');
                    p += 2;
                    run = p;
                    continue;
                }
                closed = true;
                break;
            }
            ++p;
        }
        if (!closed) {
            if (n > run)
                value.append(text + run, n - run);
            m_quote_left_open = true;
        }
        m_pos = p < n ? p + 1 : n;
        // Anything up to the separator after the closing quote is not part of the value.
        while (m_pos < n && text[m_pos] != QLatin1Char(',') && !is_line_end(text[m_pos]))
            ++m_pos;
    } else {
        int end = m_pos;
        while (end < n && text[end] != QLatin1Char(',') && !is_line_end(text[end]))
            ++end;
        value = QStringView(text + m_pos, end - m_pos).trimmed().toString();
        m_pos = end;
    }
    if (m_pos < n && m_text.at(m_pos) == QLatin1Char(',')) {
        ++m_pos;
        m_after_comma = true;
    }
    return true;
}

bool SequentialReader::next_line(QStringList& values) {
    values.clear();
    m_after_comma = false;  // this reader adds the empty value after a trailing comma itself
    const int n = m_text.size();
    // Skip empty lines.
    while (m_pos < n && is_line_end(m_text.at(m_pos)))
        ++m_pos;
    if (m_pos >= n)
        return false;
    while (m_pos < n) {
        // Blanks before a value stay on this line.
        while (m_pos < n && is_blank(m_text.at(m_pos)))
            ++m_pos;
        if (m_pos >= n || is_line_end(m_text.at(m_pos)))
            break;
        QString value;
        if (m_text.at(m_pos) == QLatin1Char(',')) {
            values << QString();  // an empty value between two commas
            ++m_pos;
            continue;
        }
        next(value);
        values << value;
        // A comma right before the line end leaves one more, empty value.
        if (m_pos > 0 && m_text.at(m_pos - 1) == QLatin1Char(',') &&
            (m_pos >= n || is_line_end(m_text.at(m_pos))))
            values << QString();
    }
    while (m_pos < n && is_line_end(m_text.at(m_pos))) {
        const QChar c = m_text.at(m_pos++);
        if (c == QLatin1Char('\r') && m_pos < n && m_text.at(m_pos) == QLatin1Char('\n'))
            ++m_pos;
        break;
    }
    return true;
}

QStringList read_sequential_values(const QString& text) {
    SequentialReader reader(text);
    QStringList values;
    QString value;
    while (reader.next(value))
        values << value;
    return values;
}

QString write_sequential_line(const QStringList& values) {
    QStringList quoted;
    for (const QString& v : values)
        quoted << QLatin1Char('"') + v + QLatin1Char('"');
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

std::optional<QString> decode_japanese_text(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return std::nullopt;
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    if (data.isValidUtf8())
        return QString::fromUtf8(data);
    // Shift_JIS here is ICU's converter, which includes the CP932 extensions (①, ～ and the like).
    QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
    if (!sjis.isValid())
        return std::nullopt;
    QString text = sjis.decode(data);
    if (sjis.hasError())
        return std::nullopt;
    return text;
}

QString decode_text_file(const QByteArray& bytes) {
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid())
        return sjis.decode(data);
    return QString::fromLocal8Bit(data);
}
