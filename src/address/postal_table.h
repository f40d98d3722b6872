#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <optional>

// One postal code with one town: 郵便番号 (seven digits), 都道府県, 市区町村 and 町域. The town is empty
// where Japan Post lists the code for the rest of the city (「以下に掲載がない場合」 and the like).
struct PostalEntry {
    QString code;
    QString prefecture;
    QString city;
    QString town;

    // "100-0001"
    QString code_text() const { return code.left(3) + u'-' + code.mid(3); }
    // 市区町村 + 町域, the start of 住所.
    QString address() const { return city + town; }
    bool operator==(const PostalEntry&) const = default;
};

// The records a table is built from, in the order Japan Post lists them.
struct PostalData {
    QVector<PostalEntry> entries;
    QString date;    // the data's date, yyyy/mm/dd
    QString source;  // where it came from (file name, package)
};

// The compact postal table: a read-only file mapped into memory on opening, so that a look-up reads
// only the few entries it needs. Layout (little-endian):
//   header (64 bytes): magic "EGTPOST1", version, counts, section offsets, date, source
//   prefectures: {u32 offset, u32 length} of the name in the string pool
//   cities:      {u32 offset, u16 length, u16 prefecture}
//   entries:     {u32 code, u16 city, u16 town length, u32 town offset}, sorted by code
//   string pool: UTF-8
class PostalTable {
public:
    // Opens and checks a table file; nullptr with problem set (Japanese) when it is missing or broken.
    static std::unique_ptr<PostalTable> open(const QString& path, QString* problem = nullptr);
    // The bytes of a table holding data (entries are sorted by code, equal ones dropped); empty when
    // the data does not fit the layout (over 65,535 cities, a name over 65,535 bytes).
    static QByteArray build(const PostalData& data);

    // Every town under a code, in the order of the data. code: seven ASCII digits.
    QVector<PostalEntry> find_code(const QString& code) const;
    // The entries whose 市区町村 + 町域 is the longest start of the address; prefecture (may be empty)
    // narrows the search, and an address that itself starts with a prefecture is read so too. Where
    // no town matches, the city's own codes (town empty) are given. One entry per code.
    QVector<PostalEntry> find_address(const QString& prefecture, const QString& address) const;

    QString path() const { return m_file.fileName(); }
    QString date() const { return m_date; }
    QString source() const { return m_source; }
    int entry_count() const { return int(m_entry_count); }
    int code_count() const;
    qint64 size() const { return m_size; }

private:
    PostalTable() = default;
    bool load(const QString& path, QString* problem);
    QString text(quint32 offset, quint32 length) const;
    QString prefecture_name(quint32 index) const;
    QString city_name(quint32 index) const;
    quint32 city_prefecture(quint32 index) const;
    quint32 entry_code(quint32 index) const;
    quint32 entry_city(quint32 index) const;
    QString entry_town(quint32 index) const;
    PostalEntry entry(quint32 index) const;
    void fold_places() const;

    QFile m_file;
    const uchar* m_data = nullptr;
    qint64 m_size = 0;
    quint32 m_entry_count = 0;
    quint32 m_city_count = 0;
    quint32 m_prefecture_count = 0;
    quint32 m_prefectures = 0;  // section offsets
    quint32 m_cities = 0;
    quint32 m_entries = 0;
    quint32 m_strings = 0;
    quint32 m_string_size = 0;
    QString m_date;
    QString m_source;
    // The names as the address search compares them, made on the first search.
    mutable QStringList m_folded_prefectures;
    mutable QStringList m_folded_cities;
    mutable QStringList m_folded_city_rests;  // after 郡 (葛巻町 of 岩手郡葛巻町), else empty
};

// A postal code as typed, in one box or over both (100-0001, 1000001, １００－０００１, 〒100 0001):
// the seven ASCII digits, or nothing when the text holds another count of digits or anything else.
std::optional<QString> postal_code_digits(const QString& typed);

// An address in the form the look-ups compare: width folded (ＡＢ１２ and ｶﾅ as AB12 and カナ), ヶ and
// ヵ as ケ and カ, blanks removed.
QString postal_match_form(const QString& text);
