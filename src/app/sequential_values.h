#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The sequential value format of sales.ini and the CSV files: values separated by commas or line
// ends; a value that begins with a double quote runs to the next single double quote (commas and line
// ends inside belong to it, a doubled quote is one quote of the value); other values run to the next
// comma or line end, surrounding blanks removed.
class SequentialReader {
public:
    explicit SequentialReader(QString text) : m_text(std::move(text)) {}

    bool at_end() const;
    // The next value; false when no value is left.
    bool next(QString& value);
    // The values of the next line (a quoted value may span lines); false at the end of the text.
    bool next_line(QStringList& values);

private:
    QString m_text;
    int m_pos = 0;
    bool m_after_comma = false;  // the last value ended at a comma
};

// All values of a text.
QStringList read_sequential_values(const QString& text);

// One line: each value between double quotes, separated by single commas, ended by CR LF.
QString write_sequential_line(const QStringList& values);

// Decodes file bytes: UTF-8 when valid (a BOM is dropped), Shift_JIS otherwise.
QString decode_text_file(const QByteArray& bytes);

// As decode_text_file, but strict: std::nullopt when the bytes are neither valid UTF-8 (with or
// without BOM) nor valid Shift_JIS (CP932), or hold a NUL byte (a binary file).
std::optional<QString> decode_japanese_text(const QByteArray& bytes);
