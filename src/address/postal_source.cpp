#include "address/postal_source.h"

#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <optional>

namespace {

constexpr int kColumns = 15;
// Japan Post's files are 12 to 20 MB; anything far larger is not one of them.
constexpr qint64 kLargestFile = 256 * 1024 * 1024;

QString date_text(const QDate& date) {
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

// One record: values separated by commas, a value between double quotes may hold commas and
// doubled quotes. Nothing when a quote is left open.
std::optional<QStringList> split_record(QStringView line) {
    QStringList values;
    QString value;
    qsizetype i = 0;
    while (true) {
        value.clear();
        if (i < line.size() && line.at(i) == u'"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line.at(i) == u'"') {
                    if (i + 1 < line.size() && line.at(i + 1) == u'"') {
                        value += u'"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                value += line.at(i++);
            }
            if (!closed)
                return std::nullopt;
            while (i < line.size() && line.at(i) != u',')
                ++i;  // anything after the closing quote is no part of the value
        } else {
            while (i < line.size() && line.at(i) != u',')
                value += line.at(i++);
            value = value.trimmed();
        }
        values << value;
        if (i >= line.size())
            return values;
        ++i;  // the comma
    }
}

bool is_open_bracket(QChar c) {
    return c == QChar(0xFF08) || c == u'(';  // （
}
bool is_close_bracket(QChar c) {
    return c == QChar(0xFF09) || c == u')';  // ）
}

// True while a bracket of the town is still open: the record goes on in the next one.
bool bracket_left_open(const QString& town) {
    int depth = 0;
    for (const QChar c : town) {
        if (is_open_bracket(c))
            ++depth;
        else if (is_close_bracket(c) && depth > 0)
            --depth;
    }
    return depth > 0;
}

bool is_floor(const QString& note) {
    static const QRegularExpression floor(QStringLiteral("^[0-9０-９]+階$"));
    return floor.match(note).hasMatch();
}

QString trimmed_wide(QString text) {
    // Ideographic spaces too.
    while (!text.isEmpty() && text.front().isSpace())
        text.remove(0, 1);
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

std::optional<QString> decode(const QByteArray& bytes) {
    if (bytes.contains('\0'))
        return std::nullopt;
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    if (data.isValidUtf8())
        return QString::fromUtf8(data);
    // Japan Post writes Shift_JIS as Windows does (CP932); ICU's converter reads that.
    QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
    if (!sjis.isValid())
        return std::nullopt;
    QString text = sjis.decode(data);
    if (sjis.hasError())
        return std::nullopt;
    return text;
}

struct Unzipped {
    QByteArray bytes;
    QString name;
    QDate date;
    QString problem;
};

// The first CSV file of a ZIP file.
Unzipped unzip_csv(const QByteArray& zipped) {
    Unzipped out;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(zipped.constData(), zip_uint64_t(zipped.size()), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        out.problem = QStringLiteral("ZIP ファイルを開けません（%1）")
                          .arg(QString::fromUtf8(zip_error_strerror(&error)));
        if (source)
            zip_source_free(source);
        zip_error_fini(&error);
        return out;
    }
    zip_error_fini(&error);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive, zip_uint64_t(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            continue;
        const QString name = QString::fromLocal8Bit(stat.name);
        if (!name.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
            continue;
        if (!(stat.valid & ZIP_STAT_SIZE) || stat.size > zip_uint64_t(kLargestFile)) {
            out.problem = QStringLiteral("ZIP ファイルの %1 が大きすぎます").arg(name);
            break;
        }
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        if (!file) {
            out.problem = QStringLiteral("ZIP ファイルの %1 を読めません（%2）")
                              .arg(name, QString::fromUtf8(zip_strerror(archive)));
            break;
        }
        out.bytes.resize(qsizetype(stat.size));
        const zip_int64_t read = zip_fread(file, out.bytes.data(), stat.size);
        zip_fclose(file);
        if (read != zip_int64_t(stat.size)) {
            out.problem = QStringLiteral("ZIP ファイルの %1 を読めません（壊れています）").arg(name);
            out.bytes.clear();
            break;
        }
        out.name = name;
        if (stat.valid & ZIP_STAT_MTIME)
            out.date = QDateTime::fromSecsSinceEpoch(qint64(stat.mtime)).date();
        break;
    }
    zip_discard(archive);
    if (out.problem.isEmpty() && out.name.isEmpty())
        out.problem = QStringLiteral("ZIP ファイルに CSV ファイルがありません");
    return out;
}

}  // namespace

QString postal_town(const QString& town, const QString& city) {
    const QString t = trimmed_wide(town);
    if (t == QStringLiteral("以下に掲載がない場合") || t.endsWith(QStringLiteral("の次に番地がくる場合")))
        return {};
    // 「利島村一円」: the whole village has one code (but 一円 alone is a town of 多賀町).
    if (t.size() > 2 && t.endsWith(QStringLiteral("一円")) && city.endsWith(t.chopped(2)))
        return {};
    QString out;
    QString note;
    int depth = 0;
    for (const QChar c : t) {
        if (is_open_bracket(c)) {
            if (depth++ > 0)
                note += c;
        } else if (is_close_bracket(c)) {
            if (depth == 0)
                continue;  // a stray closing bracket
            if (--depth == 0) {
                if (is_floor(note))
                    out += note;
                note.clear();
            } else {
                note += c;
            }
        } else if (depth > 0) {
            note += c;
        } else {
            out += c;
        }
    }
    return trimmed_wide(out);
}

PostalRead read_japan_post_bytes(const QByteArray& bytes, const QString& name, const QDate& date) {
    PostalRead result;
    const std::optional<QString> text = decode(bytes);
    if (!text) {
        result.problem = QStringLiteral(
                             "%1 の文字コードが Shift_JIS でも UTF-8 でもありません。日本郵便の郵便番号データ"
                             "（KEN_ALL.CSV、utf_ken_all.csv）を指定してください。")
                             .arg(name);
        return result;
    }
    PostalData& data = result.data;
    data.date = date_text(date.isValid() ? date : QDate::currentDate());
    data.source = name;
    struct Raw {
        QString code, prefecture, city, town;
    };
    QVector<Raw> raws;
    Raw pending;
    bool continuing = false;
    int line_number = 0;
    for (QStringView line : QStringView(*text).split(u'\n')) {
        ++line_number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const std::optional<QStringList> values = split_record(line);
        if (!values || values->size() != kColumns) {
            result.problem =
                QStringLiteral(
                    "%1 の %2 行目が読めません（値が %3 個ではありません）。日本郵便の郵便番号データ"
                    "（KEN_ALL.CSV、utf_ken_all.csv）を指定してください。")
                    .arg(name)
                    .arg(line_number)
                    .arg(kColumns);
            return result;
        }
        const Raw raw{values->at(2), values->at(6), values->at(7), values->at(8)};
        static const QRegularExpression seven_digits(QStringLiteral("^[0-9]{7}$"));
        if (!seven_digits.match(raw.code).hasMatch() || raw.prefecture.isEmpty() || raw.city.isEmpty()) {
            result.problem =
                QStringLiteral("%1 の %2 行目の郵便番号または都道府県・市区町村が正しくありません: %3")
                    .arg(name)
                    .arg(line_number)
                    .arg(line.left(80).toString());
            return result;
        }
        // A town name too long for one record goes on in the next ones, until its bracket closes.
        if (continuing && raw.code == pending.code && raw.city == pending.city) {
            pending.town += raw.town;
            if (!bracket_left_open(pending.town)) {
                raws << pending;
                continuing = false;
            }
            continue;
        }
        if (continuing)
            raws << pending;
        continuing = bracket_left_open(raw.town);
        if (continuing)
            pending = raw;
        else
            raws << raw;
    }
    if (continuing)
        raws << pending;
    if (raws.isEmpty()) {
        result.problem = QStringLiteral("%1 に郵便番号がありません").arg(name);
        return result;
    }
    data.entries.reserve(raws.size());
    for (const Raw& r : raws)
        data.entries << PostalEntry{r.code, r.prefecture, r.city, postal_town(r.town, r.city)};
    result.ok = true;
    return result;
}

PostalRead read_japan_post_file(const QString& path) {
    PostalRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problem = QStringLiteral("ファイルを開けません: %1（%2）")
                             .arg(QDir::toNativeSeparators(path), file.errorString());
        return result;
    }
    if (file.size() > kLargestFile) {
        result.problem = QStringLiteral("郵便番号データにしては大きすぎるファイルです: %1")
                             .arg(QDir::toNativeSeparators(path));
        return result;
    }
    const QByteArray bytes = file.readAll();
    const QFileInfo info(path);
    if (bytes.startsWith("PK\x03\x04")) {
        const Unzipped csv = unzip_csv(bytes);
        if (!csv.problem.isEmpty()) {
            result.problem = csv.problem + QStringLiteral(": ") + QDir::toNativeSeparators(path);
            return result;
        }
        return read_japan_post_bytes(csv.bytes, info.fileName() + QStringLiteral(" (") + csv.name + u')',
                                     csv.date.isValid() ? csv.date : info.lastModified().date());
    }
    return read_japan_post_bytes(bytes, info.fileName(), info.lastModified().date());
}

PostalUpdate update_postal_table(const QString& source_path, const QString& target_path, const QString& date,
                                 const QString& source) {
    PostalUpdate result;
    if (!date.isEmpty() && !QDate::fromString(date, QStringLiteral("yyyy/MM/dd")).isValid()) {
        result.message = QStringLiteral("日付が正しくありません（yyyy/mm/dd）: %1").arg(date);
        return result;
    }
    PostalRead read = read_japan_post_file(source_path);
    if (!read.ok) {
        result.message = read.problem + QStringLiteral("\n郵便番号データは変更していません。");
        return result;
    }
    if (!date.isEmpty())
        read.data.date = date;
    if (!source.isEmpty())
        read.data.source = source;
    const QByteArray table = PostalTable::build(read.data);
    if (table.isEmpty()) {
        result.message =
            QStringLiteral(
                "%1 は郵便番号データとして大きすぎる値を含んでいます。\n郵便番号データは変更していません。")
                .arg(QDir::toNativeSeparators(source_path));
        return result;
    }
    const QString folder = QFileInfo(target_path).absolutePath();
    QDir().mkpath(folder);
    // Written beside the old table, checked, and renamed over it in one step: a reader sees the old
    // table or the new one, and a failure leaves the old one as it was.
    QTemporaryFile written_file(QDir(folder).filePath(QStringLiteral(".postal-XXXXXX")));
    const auto cannot_write = [&](const QString& why) {
        result.message =
            QStringLiteral("郵便番号データを書けません: %1（%2）\n郵便番号データは変更していません。")
                .arg(QDir::toNativeSeparators(target_path), why);
        return result;
    };
    if (!written_file.open() || written_file.write(table) != table.size() || !written_file.flush())
        return cannot_write(written_file.errorString());
    QString problem;
    const std::unique_ptr<PostalTable> written = PostalTable::open(written_file.fileName(), &problem);
    if (!written)
        return cannot_write(problem);
    if (::fsync(written_file.handle()) != 0 ||
        std::rename(QFile::encodeName(written_file.fileName()).constData(),
                    QFile::encodeName(target_path).constData()) != 0)
        return cannot_write(QString::fromLocal8Bit(std::strerror(errno)));
    written_file.setAutoRemove(false);
    // Readable by everyone, as the installed table is.
    QFile::setPermissions(target_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ReadGroup | QFileDevice::ReadOther);
    result.ok = true;
    result.message = QStringLiteral("郵便番号データを更新しました（郵便番号 %1 件、町域 %2 件、%3 時点）: %4")
                         .arg(written->code_count())
                         .arg(written->entry_count())
                         .arg(written->date(), QDir::toNativeSeparators(target_path));
    return result;
}
