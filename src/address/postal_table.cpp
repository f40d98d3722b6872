#include "address/postal_table.h"

#include <QHash>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr char kMagic[8] = {'E', 'G', 'T', 'P', 'O', 'S', 'T', '1'};
constexpr quint32 kVersion = 1;
constexpr quint32 kHeaderSize = 64;
constexpr quint32 kPrefectureSize = 8;
constexpr quint32 kCitySize = 8;
constexpr quint32 kEntrySize = 12;
constexpr quint32 kLargestCode = 9999999;

quint32 u32_at(const uchar* p) {
    return qFromLittleEndian<quint32>(p);
}
quint16 u16_at(const uchar* p) {
    return qFromLittleEndian<quint16>(p);
}

void put_u32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian<quint32>(value, bytes);
    out.append(bytes, 4);
}
void put_u16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian<quint16>(value, bytes);
    out.append(bytes, 2);
}

// Strings are stored once, however many entries name them.
class StringPool {
public:
    struct Ref {
        quint32 offset;
        quint32 length;
    };
    Ref add(const QString& text) {
        const QByteArray utf8 = text.toUtf8();
        const auto found = m_offsets.constFind(utf8);
        if (found != m_offsets.constEnd())
            return {*found, quint32(utf8.size())};
        const quint32 offset = quint32(m_bytes.size());
        m_bytes += utf8;
        m_offsets.insert(utf8, offset);
        return {offset, quint32(utf8.size())};
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    QHash<QByteArray, quint32> m_offsets;
};

QString problem_text(const QString& path, const QString& what) {
    return QStringLiteral("郵便番号データを読めません（%1）: %2").arg(what, path);
}

bool is_data_date(const QString& date) {
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
    return pattern.match(date).hasMatch();
}

// 町 and 村 of a county are often written without it: 葛巻町 for 岩手郡葛巻町 (but not 郡山市).
QString after_county(const QString& folded_city) {
    const qsizetype county = folded_city.indexOf(QChar(0x90E1));  // 郡
    if (county < 1 || county + 1 >= folded_city.size())
        return {};
    const QString rest = folded_city.mid(county + 1);
    return rest.endsWith(QChar(0x753A)) || rest.endsWith(QChar(0x6751)) ? rest : QString();  // 町, 村
}

}  // namespace

std::optional<QString> postal_code_digits(const QString& typed) {
    const QString folded = typed.normalized(QString::NormalizationForm_KC);
    QString digits;
    for (const QChar c : folded) {
        if (c >= u'0' && c <= u'9')
            digits += c;
        else if (!(c.isSpace() || c == u'-' || c == QChar(0x2010) || c == QChar(0x2011) ||
                   c == QChar(0x2012) || c == QChar(0x2013) || c == QChar(0x2014) || c == QChar(0x2015) ||
                   c == QChar(0x2212) || c == QChar(0x30FC) || c == QChar(0x3012)))  // ー, 〒
            return std::nullopt;
    }
    if (digits.size() != 7)
        return std::nullopt;
    return digits;
}

QString postal_match_form(const QString& text) {
    const QString folded = text.normalized(QString::NormalizationForm_KC);
    QString out;
    out.reserve(folded.size());
    for (QChar c : folded) {
        if (c.isSpace())
            continue;
        if (c == QChar(0x30F6))  // ヶ
            c = QChar(0x30B1);
        else if (c == QChar(0x30F5))  // ヵ
            c = QChar(0x30AB);
        out += c;
    }
    return out;
}

QByteArray PostalTable::build(const PostalData& data) {
    QVector<PostalEntry> entries = data.entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PostalEntry& a, const PostalEntry& b) { return a.code < b.code; });
    StringPool pool;
    const StringPool::Ref source = pool.add(data.source);
    QVector<StringPool::Ref> prefectures;
    QHash<QString, quint16> prefecture_index;
    struct City {
        StringPool::Ref name;
        quint16 prefecture;
    };
    QVector<City> cities;
    QHash<QString, quint16> city_index;  // prefecture + '\n' + city
    QByteArray entry_bytes;
    entry_bytes.reserve(entries.size() * kEntrySize);
    quint32 written = 0;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const PostalEntry& e = entries.at(i);
        // The same town twice under one code (Japan Post lists a town once per note) is one entry.
        bool repeated = false;
        for (qsizetype j = i - 1; j >= 0 && entries.at(j).code == e.code && !repeated; --j)
            repeated = entries.at(j) == e;
        if (repeated)
            continue;
        if (!prefecture_index.contains(e.prefecture)) {
            prefecture_index.insert(e.prefecture, quint16(prefectures.size()));
            prefectures << pool.add(e.prefecture);
        }
        const QString city_key = e.prefecture + u'\n' + e.city;
        if (!city_index.contains(city_key) && cities.size() == 0xFFFF)
            return {};  // more cities than the table's 16-bit index holds
        if (!city_index.contains(city_key)) {
            city_index.insert(city_key, quint16(cities.size()));
            const StringPool::Ref name = pool.add(e.city);
            if (name.length > 0xFFFF)
                return {};
            cities << City{name, prefecture_index.value(e.prefecture)};
        }
        const StringPool::Ref town = pool.add(e.town);
        if (town.length > 0xFFFF)
            return {};
        put_u32(entry_bytes, e.code.toUInt());
        put_u16(entry_bytes, city_index.value(city_key));
        put_u16(entry_bytes, quint16(town.length));
        put_u32(entry_bytes, town.offset);
        ++written;
    }
    const quint32 prefecture_offset = kHeaderSize;
    const quint32 city_offset = prefecture_offset + quint32(prefectures.size()) * kPrefectureSize;
    const quint32 entry_offset = city_offset + quint32(cities.size()) * kCitySize;
    const quint32 string_offset = entry_offset + quint32(entry_bytes.size());

    QByteArray out;
    out.append(kMagic, 8);
    put_u32(out, kVersion);
    put_u32(out, written);
    put_u32(out, quint32(cities.size()));
    put_u32(out, quint32(prefectures.size()));
    put_u32(out, prefecture_offset);
    put_u32(out, city_offset);
    put_u32(out, entry_offset);
    put_u32(out, string_offset);
    put_u32(out, quint32(pool.bytes().size()));
    put_u32(out, source.offset);
    put_u32(out, source.length);
    out.append(data.date.toLatin1().leftJustified(10, ' ', true));
    put_u16(out, 0);
    for (const StringPool::Ref& p : prefectures) {
        put_u32(out, p.offset);
        put_u32(out, p.length);
    }
    for (const City& c : cities) {
        put_u32(out, c.name.offset);
        put_u16(out, quint16(c.name.length));
        put_u16(out, c.prefecture);
    }
    out += entry_bytes;
    out += pool.bytes();
    return out;
}

std::unique_ptr<PostalTable> PostalTable::open(const QString& path, QString* problem) {
    std::unique_ptr<PostalTable> table(new PostalTable);
    QString why;
    if (!table->load(path, &why)) {
        if (problem)
            *problem = why;
        return nullptr;
    }
    return table;
}

bool PostalTable::load(const QString& path, QString* problem) {
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *problem = problem_text(path, m_file.errorString());
        return false;
    }
    m_size = m_file.size();
    if (m_size < kHeaderSize || m_size > qint64(0xFFFFFFFFu)) {
        *problem = problem_text(path, QStringLiteral("郵便番号データではありません"));
        return false;
    }
    m_data = m_file.map(0, m_size);
    if (!m_data) {
        *problem = problem_text(path, m_file.errorString());
        return false;
    }
    const uchar* h = m_data;
    if (!std::equal(kMagic, kMagic + 8, reinterpret_cast<const char*>(h))) {
        *problem = problem_text(path, QStringLiteral("郵便番号データではありません"));
        return false;
    }
    if (u32_at(h + 8) != kVersion) {
        *problem = problem_text(path, QStringLiteral("この版のプログラムでは読めない形式です"));
        return false;
    }
    m_entry_count = u32_at(h + 12);
    m_city_count = u32_at(h + 16);
    m_prefecture_count = u32_at(h + 20);
    m_prefectures = u32_at(h + 24);
    m_cities = u32_at(h + 28);
    m_entries = u32_at(h + 32);
    m_strings = u32_at(h + 36);
    m_string_size = u32_at(h + 40);
    const quint32 source_offset = u32_at(h + 44);
    const quint32 source_length = u32_at(h + 48);
    // The sections follow one another without gaps, and the string pool ends the file.
    const bool laid_out =
        m_prefectures == kHeaderSize &&
        quint64(m_cities) == quint64(m_prefectures) + quint64(m_prefecture_count) * kPrefectureSize &&
        quint64(m_entries) == quint64(m_cities) + quint64(m_city_count) * kCitySize &&
        quint64(m_strings) == quint64(m_entries) + quint64(m_entry_count) * kEntrySize &&
        quint64(m_strings) + m_string_size == quint64(m_size) && m_city_count <= 0xFFFF &&
        m_prefecture_count <= 0xFFFF;
    auto in_pool = [&](quint32 offset, quint32 length) { return quint64(offset) + length <= m_string_size; };
    if (!laid_out || !in_pool(source_offset, source_length)) {
        *problem = problem_text(path, QStringLiteral("ファイルが壊れています"));
        return false;
    }
    m_date = QString::fromLatin1(reinterpret_cast<const char*>(h + 52), 10);
    m_source = text(source_offset, source_length);
    bool sound = is_data_date(m_date);
    for (quint32 i = 0; sound && i < m_prefecture_count; ++i) {
        const uchar* p = m_data + m_prefectures + i * kPrefectureSize;
        sound = in_pool(u32_at(p), u32_at(p + 4));
    }
    for (quint32 i = 0; sound && i < m_city_count; ++i) {
        const uchar* c = m_data + m_cities + i * kCitySize;
        sound = in_pool(u32_at(c), u16_at(c + 4)) && u16_at(c + 6) < m_prefecture_count;
    }
    quint32 previous = 0;
    for (quint32 i = 0; sound && i < m_entry_count; ++i) {
        const uchar* e = m_data + m_entries + i * kEntrySize;
        const quint32 code = u32_at(e);
        sound = code <= kLargestCode && code >= previous && u16_at(e + 4) < m_city_count &&
                in_pool(u32_at(e + 8), u16_at(e + 6));
        previous = code;
    }
    if (!sound) {
        *problem = problem_text(path, QStringLiteral("ファイルが壊れています"));
        return false;
    }
    return true;
}

QString PostalTable::text(quint32 offset, quint32 length) const {
    return QString::fromUtf8(reinterpret_cast<const char*>(m_data + m_strings + offset), length);
}

QString PostalTable::prefecture_name(quint32 index) const {
    const uchar* p = m_data + m_prefectures + index * kPrefectureSize;
    return text(u32_at(p), u32_at(p + 4));
}

QString PostalTable::city_name(quint32 index) const {
    const uchar* c = m_data + m_cities + index * kCitySize;
    return text(u32_at(c), u16_at(c + 4));
}

quint32 PostalTable::city_prefecture(quint32 index) const {
    return u16_at(m_data + m_cities + index * kCitySize + 6);
}

quint32 PostalTable::entry_code(quint32 index) const {
    return u32_at(m_data + m_entries + index * kEntrySize);
}

quint32 PostalTable::entry_city(quint32 index) const {
    return u16_at(m_data + m_entries + index * kEntrySize + 4);
}

QString PostalTable::entry_town(quint32 index) const {
    const uchar* e = m_data + m_entries + index * kEntrySize;
    return text(u32_at(e + 8), u16_at(e + 6));
}

PostalEntry PostalTable::entry(quint32 index) const {
    const quint32 city = entry_city(index);
    return {QStringLiteral("%1").arg(entry_code(index), 7, 10, QLatin1Char('0')),
            prefecture_name(city_prefecture(city)), city_name(city), entry_town(index)};
}

int PostalTable::code_count() const {
    int count = 0;
    for (quint32 i = 0; i < m_entry_count; ++i)
        if (i == 0 || entry_code(i) != entry_code(i - 1))
            ++count;
    return count;
}

QVector<PostalEntry> PostalTable::find_code(const QString& code) const {
    QVector<PostalEntry> found;
    bool numeric = false;
    const quint32 wanted = code.toUInt(&numeric);
    if (!numeric || code.size() != 7)
        return found;
    // Binary search for the first entry of the code.
    quint32 low = 0;
    quint32 high = m_entry_count;
    while (low < high) {
        const quint32 middle = low + (high - low) / 2;
        if (entry_code(middle) < wanted)
            low = middle + 1;
        else
            high = middle;
    }
    for (quint32 i = low; i < m_entry_count && entry_code(i) == wanted; ++i)
        found << entry(i);
    return found;
}

void PostalTable::fold_places() const {
    if (!m_folded_cities.isEmpty() || m_city_count == 0)
        return;
    for (quint32 i = 0; i < m_prefecture_count; ++i)
        m_folded_prefectures << postal_match_form(prefecture_name(i));
    for (quint32 i = 0; i < m_city_count; ++i) {
        const QString folded = postal_match_form(city_name(i));
        m_folded_cities << folded;
        m_folded_city_rests << after_county(folded);
    }
}

QVector<PostalEntry> PostalTable::find_address(const QString& prefecture, const QString& address) const {
    QVector<PostalEntry> found;
    fold_places();
    QString rest = postal_match_form(address);
    const QString wanted_prefecture = postal_match_form(prefecture);
    if (rest.isEmpty())
        return found;
    // Prefectures the box names: its full name, or a start of it (東京 for 東京都).
    QVector<bool> in_prefecture(m_prefecture_count, wanted_prefecture.isEmpty());
    for (quint32 p = 0; p < m_prefecture_count; ++p)
        if (!wanted_prefecture.isEmpty() && m_folded_prefectures.at(p).startsWith(wanted_prefecture) &&
            (wanted_prefecture.size() >= 2 || m_folded_prefectures.at(p) == wanted_prefecture))
            in_prefecture[p] = true;
    // An address written with its prefecture says which one it is.
    for (quint32 p = 0; p < m_prefecture_count; ++p) {
        if (rest.startsWith(m_folded_prefectures.at(p))) {
            rest = rest.mid(m_folded_prefectures.at(p).size());
            in_prefecture.fill(false);
            in_prefecture[p] = true;
            break;
        }
    }
    // How much of the address each city takes; -1 where it does not start the address.
    QVector<int> taken(m_city_count, -1);
    bool any_city = false;
    for (quint32 c = 0; c < m_city_count; ++c) {
        if (!in_prefecture.at(city_prefecture(c)))
            continue;
        if (rest.startsWith(m_folded_cities.at(c)))
            taken[c] = int(m_folded_cities.at(c).size());
        else if (!m_folded_city_rests.at(c).isEmpty() && rest.startsWith(m_folded_city_rests.at(c)))
            taken[c] = int(m_folded_city_rests.at(c).size());
        any_city = any_city || taken.at(c) >= 0;
    }
    if (!any_city)
        return found;
    int best = -1;
    QVector<quint32> best_entries;
    for (quint32 i = 0; i < m_entry_count; ++i) {
        const int city_length = taken.at(entry_city(i));
        if (city_length < 0)
            continue;
        const QString town = postal_match_form(entry_town(i));
        if (town.size() + city_length < best || !QStringView(rest).sliced(city_length).startsWith(town))
            continue;
        const int length = int(town.size()) + city_length;
        if (length > best) {
            best = length;
            best_entries.clear();
        }
        best_entries << i;
    }
    for (quint32 i : best_entries) {
        const PostalEntry e = entry(i);
        if (std::none_of(found.cbegin(), found.cend(),
                         [&](const PostalEntry& f) { return f.code == e.code; }))
            found << e;
    }
    return found;
}
