#include "app/demo_data.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QVector>

#include "customers/customer_copies.h"
#include "customers/customer_store.h"

namespace {

struct Word {
    const char* kanji;
    const char* kana;
};

const Word kSurnames[] = {
    {"佐藤", "さとう"},     {"鈴木", "すずき"},   {"高橋", "たかはし"}, {"田中", "たなか"},
    {"伊藤", "いとう"},     {"渡辺", "わたなべ"}, {"山本", "やまもと"}, {"中村", "なかむら"},
    {"小林", "こばやし"},   {"加藤", "かとう"},   {"吉田", "よしだ"},   {"山田", "やまだ"},
    {"佐々木", "ささき"},   {"山口", "やまぐち"}, {"松本", "まつもと"}, {"井上", "いのうえ"},
    {"木村", "きむら"},     {"林", "はやし"},     {"斎藤", "さいとう"}, {"清水", "しみず"},
    {"山崎", "やまざき"},   {"森", "もり"},       {"池田", "いけだ"},   {"橋本", "はしもと"},
    {"阿部", "あべ"},       {"石川", "いしかわ"}, {"山下", "やました"}, {"中島", "なかじま"},
    {"石井", "いしい"},     {"小川", "おがわ"},   {"前田", "まえだ"},   {"岡田", "おかだ"},
    {"長谷川", "はせがわ"}, {"藤田", "ふじた"},   {"後藤", "ごとう"},   {"近藤", "こんどう"},
    {"村上", "むらかみ"},   {"遠藤", "えんどう"}, {"青木", "あおき"},   {"坂本", "さかもと"},
    {"斉藤", "さいとう"},   {"福田", "ふくだ"},   {"太田", "おおた"},   {"西村", "にしむら"},
    {"藤井", "ふじい"},     {"金子", "かねこ"},   {"岡本", "おかもと"}, {"藤原", "ふじわら"},
    {"中野", "なかの"},     {"三浦", "みうら"},   {"原田", "はらだ"},   {"中川", "なかがわ"},
    {"松田", "まつだ"},     {"竹内", "たけうち"}, {"小野", "おの"},     {"田村", "たむら"},
    {"中山", "なかやま"},   {"和田", "わだ"},     {"石田", "いしだ"},   {"上田", "うえだ"},
    {"森田", "もりた"},     {"原", "はら"},       {"柴田", "しばた"},   {"酒井", "さかい"},
    {"工藤", "くどう"},     {"横山", "よこやま"}, {"宮崎", "みやざき"}, {"宮本", "みやもと"},
    {"内田", "うちだ"},     {"高木", "たかぎ"},   {"安藤", "あんどう"}, {"谷口", "たにぐち"},
    {"大野", "おおの"},     {"丸山", "まるやま"}, {"今井", "いまい"},   {"河野", "こうの"},
    {"野口", "のぐち"},     {"菅原", "すがわら"}, {"千葉", "ちば"},     {"久保", "くぼ"},
    {"松井", "まつい"},     {"野村", "のむら"},   {"菊地", "きくち"},   {"杉山", "すぎやま"},
    {"平野", "ひらの"},     {"大塚", "おおつか"}, {"増田", "ますだ"},   {"小山", "こやま"},
    {"桜井", "さくらい"},   {"望月", "もちづき"}, {"堀", "ほり"},       {"吉川", "よしかわ"},
    {"関", "せき"},         {"沼田", "ぬまた"},   {"根本", "ねもと"},   {"楠", "くすのき"},
    {"目黒", "めぐろ"},     {"結城", "ゆうき"},   {"米田", "よねだ"},   {"若林", "わかばやし"},
    {"蓮見", "はすみ"},     {"辺見", "へんみ"},   {"保坂", "ほさか"},   {"向井", "むかい"},
    {"ロペス", "ろぺす"},
};

const Word kBusinesses[] = {
    {"商店", "しょうてん"},     {"工業", "こうぎょう"},
    {"建設", "けんせつ"},       {"電機", "でんき"},
    {"製作所", "せいさくしょ"}, {"商事", "しょうじ"},
    {"物産", "ぶっさん"},       {"食品", "しょくひん"},
    {"印刷", "いんさつ"},       {"設計事務所", "せっけいじむしょ"},
    {"不動産", "ふどうさん"},   {"運輸", "うんゆ"},
    {"薬局", "やっきょく"},     {"歯科医院", "しかいいん"},
    {"工務店", "こうむてん"},   {"会計事務所", "かいけいじむしょ"},
};

const Word kGivenNames[] = {
    {"一郎", "いちろう"}, {"花子", "はなこ"}, {"健太", "けんた"}, {"美咲", "みさき"}, {"大輔", "だいすけ"},
    {"由美", "ゆみ"},     {"翔", "しょう"},   {"陽子", "ようこ"}, {"誠", "まこと"},   {"恵", "めぐみ"},
};

struct Place {
    const char* prefecture;
    const char* city;
    const char* tel;
};
const Place kPlaces[] = {
    {"東京都", "千代田区神田", "03"},      {"東京都", "品川区大井", "03"},
    {"神奈川県", "横浜市中区", "045"},     {"大阪府", "大阪市北区", "06"},
    {"愛知県", "名古屋市中村区", "052"},   {"福岡県", "福岡市博多区", "092"},
    {"北海道", "札幌市中央区", "011"},     {"宮城県", "仙台市青葉区", "022"},
    {"広島県", "広島市中区", "082"},       {"京都府", "京都市下京区", "075"},
    {"埼玉県", "さいたま市大宮区", "048"}, {"千葉県", "千葉市中央区", "043"},
};

struct Goods {
    int code;
    const char* category;
    const char* name;
    int price;
};

QString u(const char* s) {
    return QString::fromUtf8(s);
}

class Generator {
public:
    Generator(Database& db, const DemoOptions& o) : m_db(db), m_o(o), m_rng(o.seed) {}

    int pick(int n) { return int(m_rng.bounded(quint32(n))); }
    bool chance(int percent) { return pick(100) < percent; }
    QString date_text(const QDate& d) const { return d.toString(QStringLiteral("yyyy/MM/dd")); }
    QDate random_day_back(int days) { return m_o.as_of.addDays(-pick(days)); }

    void exec(const QString& s) { m_db.execute_sql(s); }

    void company() {
        exec(
            "update 自社情報 set 消費税=10,会社名='株式会社サンプル商事',郵便番号1='100',郵便番号2='0005',"
            "住所='東京都千代田区丸の内1-1-1',TEL='03-1234-5678',FAX='03-1234-5679',締め日='20日',"
            "pop='127.0.0.1',userid='sales',[password]='',[smtp]='127.0.0.1',"
            "email='sales@example.com',業種タイプ=0");
    }

    void employees() {
        const char* rows[][4] = {{"山田 太郎", "やまだ たろう", "yamada@example.com", "営業一課"},
                                 {"佐藤 花子", "さとう はなこ", "sato@example.com", "営業一課"},
                                 {"鈴木 一郎", "すずき いちろう", "suzuki@example.com", "営業二課"},
                                 {"高橋 美咲", "たかはし みさき", "takahashi@example.com", "営業二課"},
                                 {"田中 健太", "たなか けんた", "tanaka@example.com", "営業企画"}};
        for (auto& r : rows) {
            exec("insert into 社員 (社員,社員かな,email,部署) values(" + sql_text(u(r[0])) + "," +
                 sql_text(u(r[1])) + "," + sql_text(u(r[2])) + "," + sql_text(u(r[3])) + ")");
            m_employees << u(r[0]);
        }
    }

    void goods() {
        const Goods items[] = {
            {1, "事務用品", "ボールペン（黒）10本", 980},
            {1, "事務用品", "ボールペン（赤）10本", 980},
            {1, "事務用品", "シャープペンシル", 550},
            {1, "事務用品", "蛍光ペン5色セット", 720},
            {1, "事務用品", "ホチキス", 1200},
            {1, "事務用品", "ホチキス針（1000本）", 180},
            {1, "事務用品", "クリアファイル100枚", 1500},
            {1, "事務用品", "付箋セット", 650},
            {1, "事務用品", "はさみ", 480},
            {1, "事務用品", "電卓", 2800},
            {2, "OA機器", "レーザープリンター", 48000},
            {2, "OA機器", "インクジェット複合機", 32000},
            {2, "OA機器", "ノートパソコン", 128000},
            {2, "OA機器", "デスクトップパソコン", 98000},
            {2, "OA機器", "液晶モニター24型", 22000},
            {2, "OA機器", "シュレッダー", 18500},
            {2, "OA機器", "プロジェクター", 76000},
            {2, "OA機器", "無線LANルーター", 12800},
            {2, "OA機器", "外付けハードディスク", 11800},
            {2, "OA機器", "ラベルプリンター", 15800},
            {3, "家具", "事務机", 38000},
            {3, "家具", "事務椅子", 24000},
            {3, "家具", "会議テーブル", 65000},
            {3, "家具", "スチール書庫", 42000},
            {3, "家具", "ロッカー", 36000},
            {3, "家具", "パーティション", 18000},
            {3, "家具", "応接セット", 158000},
            {3, "家具", "ホワイトボード", 22000},
            {3, "家具", "傘立て", 6800},
            {3, "家具", "マガジンラック", 9800},
            {4, "消耗品", "コピー用紙A4（5000枚）", 3200},
            {4, "消耗品", "コピー用紙A3（1500枚）", 2900},
            {4, "消耗品", "トナーカートリッジ", 14800},
            {4, "消耗品", "インクカートリッジ", 4800},
            {4, "消耗品", "封筒長形3号（1000枚）", 3800},
            {4, "消耗品", "ガムテープ", 320},
            {4, "消耗品", "乾電池単3（20本）", 1480},
            {4, "消耗品", "ティッシュペーパー", 380},
            {4, "消耗品", "紙コップ", 560},
            {4, "消耗品", "ゴミ袋45L", 420},
            {5, "ソフトウェア", "会計ソフト", 39800},
            {5, "ソフトウェア", "給与計算ソフト", 29800},
            {5, "ソフトウェア", "ウイルス対策ソフト", 6800},
            {5, "ソフトウェア", "年賀状作成ソフト", 3980},
            {5, "ソフトウェア", "表計算ソフト", 24800},
            {5, "ソフトウェア", "販売管理ソフト", 58000},
            {5, "ソフトウェア", "保守サービス（年間）", 36000},
            {5, "ソフトウェア", "設置作業", 15000},
            {5, "ソフトウェア", "データ移行作業", 25000},
            {5, "ソフトウェア", "操作説明会", 20000},
        };
        int id = 0;
        for (const Goods& g : items) {
            exec(QStringLiteral("insert into 商品 (分類コード,分類,商品名,単価) values('%1',%2,%3,'%4')")
                     .arg(g.code)
                     .arg(sql_text(u(g.category)), sql_text(u(g.name)))
                     .arg(g.price));
            m_goods << GoodsRow{++id, u(g.name), g.price};
        }
    }

    void cost_codes() {
        const char* rows[][2] = {{"材料", "材料費"}, {"材料", "部品代"},  {"外注", "外注費"},
                                 {"外注", "運送費"}, {"経費", "交通費"},  {"経費", "通信費"},
                                 {"人件", "作業費"}, {"人件", "設置工賃"}};
        for (auto& r : rows)
            exec("insert into 原価コード (分類,原価名) values(" + sql_text(u(r[0])) + "," +
                 sql_text(u(r[1])) + ")");
    }

    void templates() {
        const char* rows[][2] = {
            {"ご挨拶",
             "{担当者}様\r\n\r\nいつもお世話になっております。株式会社サンプル商事でございます。\r\n"
             "今後ともよろしくお願い申し上げます。"},
            {"新製品のご案内",
             "{担当者}様\r\n\r\n新製品のご案内をお送りいたします。\r\n"
             "詳しくは担当営業までお問い合わせください。"},
            {"年末のご挨拶",
             "{担当者}様\r\n\r\n本年も格別のお引き立てを賜り、誠にありがとうございました。\r\n"
             "来年もよろしくお願い申し上げます。"},
        };
        for (auto& r : rows)
            exec("insert into テンプレート (名称,本文) values(" + sql_text(u(r[0])) + "," +
                 sql_text(u(r[1])) + ")");
    }

    void customer(int n) {
        constexpr int surnames = int(std::size(kSurnames));
        constexpr int businesses = int(std::size(kBusinesses));
        const Word& s = kSurnames[pick(surnames)];
        const bool person = chance(15);
        QString name, kana;
        if (person) {
            const Word& g = kGivenNames[pick(int(std::size(kGivenNames)))];
            name = u(s.kanji) + " " + u(g.kanji);
            kana = u(s.kana) + " " + u(g.kana);
        } else {
            const Word& b = kBusinesses[pick(businesses)];
            name = (chance(40) ? QStringLiteral("株式会社") : QString()) + u(s.kanji) + u(b.kanji);
            kana = u(s.kana) + u(b.kana);
        }
        // Names repeat among many customers; keep them apart as a branch would.
        const int seen = m_name_counts.value(name, 0);
        m_name_counts[name] = seen + 1;
        if (seen > 0)
            name += QStringLiteral(" %1号店").arg(seen + 1);
        const Place& p = kPlaces[pick(int(std::size(kPlaces)))];
        const QString tel =
            QStringLiteral("%1-%2-%3").arg(u(p.tel)).arg(1000 + pick(9000)).arg(1000 + pick(9000));
        const Word& contact = kSurnames[pick(surnames)];
        const QString mail =
            chance(70) ? QStringLiteral("info%1@customer%2.example.jp").arg(n).arg(n % 97) : QString();
        const char* ranks[] = {"A", "B", "C", ""};
        QStringList values = {
            name,
            kana,
            u(p.prefecture),
            QString::number(100 + pick(900)),
            QStringLiteral("%1").arg(pick(10000), 4, 10, QLatin1Char('0')),
            u(p.city) + QStringLiteral("%1-%2-%3").arg(1 + pick(9)).arg(1 + pick(30)).arg(1 + pick(20)),
            tel,
            chance(60) ? tel.left(tel.size() - 1) + QString::number(pick(10)) : QString(),
            chance(50) ? QStringLiteral("090-%1-%2").arg(1000 + pick(9000)).arg(1000 + pick(9000))
                       : QString(),
            mail,
            person ? QString() : u(contact.kanji),
            person ? QString() : u(contact.kana),
            u(ranks[pick(4)]),
            person ? QStringLiteral("個人") : QStringLiteral("法人"),
            QString(),
            QString(),
            QString(),
            chance(20) ? QStringLiteral("紹介による新規取引") : QString()};
        exec(customer_insert_statement(values));
        m_customer_names << name;
    }

    void activities(int customer_id, const QString& name) {
        const QString id = QString::number(customer_id);
        const QString employee = m_employees.at(pick(m_employees.size()));
        // A few customers buy a lot; most buy now and then; some never.
        const int weight = pick(100);
        const int base_orders = weight < 15   ? 0
                                : weight < 75 ? 1 + pick(5)
                                : weight < 95 ? 5 + pick(10)
                                              : 15 + pick(20);
        const int orders = int(base_orders * m_o.order_factor + 0.5);
        for (int i = 0; i < orders; ++i) {
            const QDate day = random_day_back(730);
            const int lines = 1 + pick(4);
            QVector<std::array<int, 3>> rows;
            qint64 total = 0;
            for (int l = 0; l < lines; ++l) {
                const GoodsRow& g = m_goods.at(pick(m_goods.size()));
                const int qty = 1 + pick(weight >= 95 ? 20 : 5);
                rows.push_back({g.id, qty, g.price * qty});
                total += qint64(g.price) * qty;
            }
            const int discount = chance(20) ? int(total / 100) * 5 : 0;
            exec(QStringLiteral("insert into 受注 (顧客ID,社員,受注日,名称,受注金額,消費税率,値引き) "
                                "values(%1,%2,%3,%4,%5,10,%6)")
                     .arg(id, sql_text(employee), sql_text(date_text(day)),
                          sql_text(QStringLiteral("%1 ご注文").arg(day.toString(QStringLiteral("M月")))))
                     .arg(total)
                     .arg(discount));
            ++m_order_id;
            for (const auto& r : rows)
                exec(QStringLiteral("insert into 受注明細 (受注ID,商品ID,顧客名,数,金額,受注日) "
                                    "values(%1,'%2',%3,'%4','%5',%6)")
                         .arg(m_order_id)
                         .arg(r[0])
                         .arg(sql_text(name))
                         .arg(r[1])
                         .arg(r[2])
                         .arg(sql_text(date_text(day))));
            if (chance(30)) {
                const char* costs[] = {"材料費", "外注費", "交通費", "作業費"};
                for (int c = 0, n = 1 + pick(2); c < n; ++c)
                    exec(QStringLiteral(
                             "insert into 原価 (顧客ID,受注ID,登録日,名称,金額) values(%1,%2,%3,%4,'%5')")
                             .arg(id)
                             .arg(m_order_id)
                             .arg(sql_text(date_text(
                                      day.addDays(pick(10)) > m_o.as_of ? m_o.as_of : day.addDays(pick(10)))),
                                  sql_text(u(costs[pick(4)])))
                             .arg(qint64(total) * (10 + pick(40)) / 100));
            }
        }
        const char* visit_titles[] = {"定期訪問", "新製品のご紹介", "納品立会い", "お見積りのご説明",
                                      "ご挨拶"};
        const int visits = weight < 15 ? pick(2) : pick(12);
        for (int i = 0; i < visits; ++i)
            exec(QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values(%1,%2,%3,%4,%5)")
                     .arg(id, sql_text(employee), sql_text(date_text(random_day_back(730))),
                          sql_text(u(visit_titles[pick(5)])),
                          sql_text(QStringLiteral("担当者様と面談。次回の提案を約束。"))));
        for (int i = 0, n = chance(40) ? 1 + pick(3) : 0; i < n; ++i)
            exec(QStringLiteral("insert into 見積もり (顧客ID,社員,提出日,名称,見積もり金額,消費税率,内容) "
                                "values(%1,%2,%3,%4,%5,10,%6)")
                     .arg(id, sql_text(employee), sql_text(date_text(random_day_back(365))),
                          sql_text(QStringLiteral("オフィス用品一式")))
                     .arg(10000 * (1 + pick(200)))
                     .arg(sql_text(QStringLiteral("数量により値引き可"))));
        if (chance(8)) {
            const QDate got = random_day_back(365);
            const bool answered = chance(60);
            exec(QStringLiteral("insert into クレーム (顧客ID,社員,受付日,名称,内容,回答日,回答内容) "
                                "values(%1,%2,%3,%4,%5,%6,%7)")
                     .arg(id, sql_text(employee), sql_text(date_text(got)),
                          sql_text(QStringLiteral("納品遅れ")),
                          sql_text(QStringLiteral("納品が予定より遅れたとのご指摘")),
                          sql_text(date_text(answered ? std::min(got.addDays(pick(5)), m_o.as_of) : got)),
                          sql_text(answered ? QStringLiteral("お詫びし、配送手配を見直しました")
                                            : QString())));
        }
        if (chance(12)) {
            const char* statuses[] = {"email", "未対応", "対応中", "対応済"};
            exec(QStringLiteral(
                     "insert into 問い合わせ (顧客ID,社員,名称,受付日,状況,内容) values(%1,%2,%3,%4,%5,%6)")
                     .arg(id, sql_text(employee), sql_text(QStringLiteral("在庫の確認")),
                          sql_text(date_text(random_day_back(120))), sql_text(u(statuses[pick(4)])),
                          sql_text(QStringLiteral("商品の在庫と納期を知りたい"))));
        }
    }

    void run(const std::function<void(int, int)>& progress) {
        Transaction tx(m_db);
        company();
        employees();
        goods();
        cost_codes();
        templates();
        const int total = m_o.customers;
        for (int n = 1; n <= total; ++n) {
            customer(n);
            if (progress && n % 1000 == 0)
                progress(n, total);
        }
        // Written with their copies; the partial search's index of a shared server takes them in.
        repair_customer_copies(m_db);
        if (m_o.activities) {
            // Keys are numbered from 1 in an empty database.
            for (int n = 1; n <= total; ++n) {
                activities(n, m_customer_names.at(n - 1));
                if (progress && n % 1000 == 0)
                    progress(n, total);
            }
        }
        tx.commit();
    }

private:
    struct GoodsRow {
        int id;
        QString name;
        int price;
    };
    Database& m_db;
    DemoOptions m_o;
    QRandomGenerator m_rng;
    QStringList m_employees;
    QVector<GoodsRow> m_goods;
    QStringList m_customer_names;
    QHash<QString, int> m_name_counts;
    int m_order_id = 0;
};

}  // namespace

void generate_demo_data(Database& db, const DemoOptions& options,
                        const std::function<void(int, int)>& progress) {
    Generator(db, options).run(progress);
}
