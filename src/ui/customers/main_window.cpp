#include "ui/customers/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include "app/session.h"
#include "customers/duplicates.h"
#include "customers/history_chart.h"
#include "db/text_fold.h"
#include "ui/app/version_dialog.h"
#include "ui/common/guard.h"
#include "ui/common/help_window.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"
#include "ui/records/chart_widget.h"

namespace {

const QString kNotReady = QStringLiteral("この機能は準備中です");

// The captions of the hiragana keyboard by key index.
QString key_caption(int index) {
    static const QStringList captions = {"あ", "い", "う", "え", "お", "こ", "け", "く", "き", "か", "そ",
                                         "せ", "す", "し", "さ", "と", "て", "つ", "ち", "た", "の", "ね",
                                         "ぬ", "に", "な", "ほ", "へ", "ふ", "ひ", "は", "も", "め", "む",
                                         "み", "ま", "ん", "゛", "よ", "ゆ", "や", "。", "っ", "ゃ", "ゅ",
                                         "ょ", "ろ", "れ", "る", "り", "ら", "",   "",   "",   "",   "わ"};
    return captions.value(index);
}

// The keys as a table of the Japanese syllabary: one column per consonant, vowels downwards.
// -1 leaves a place empty.
constexpr int kKeyGrid[12][5] = {
    {0, 1, 2, 3, 4},      {9, 8, 7, 6, 5},      {14, 13, 12, 11, 10}, {19, 18, 17, 16, 15},
    {24, 23, 22, 21, 20}, {29, 28, 27, 26, 25}, {34, 33, 32, 31, 30}, {39, -1, 38, -1, 37},
    {49, 48, 47, 46, 45}, {54, -1, -1, -1, 35}, {41, 42, 43, 44, -1}, {36, 40, -1, -1, -1},
};

const QStringList kFieldCaptions = {"顧客名", "顧客名かな", "都道府県", "郵便番号", "",       "住所",
                                    "TEL",    "FAX",        "携帯",     "Email",    "担当者", "担当者かな",
                                    "ランク", "タイプ",     "ＲＭＦ",   "",         "",       "備考"};

const QStringList kLinkCaptions = {"受注登録",   "案件見積登録", "訪問登録",
                                   "問い合わせ", "クレーム",     "原価登録"};
const QStringList kLegendCaptions = {"受注", "案件見積", "訪問", "問い合わせ", "クレーム", "原価"};
// Legend colours match the chart's marks.
const QColor kLegendColours[6] = {QColor(0, 170, 0),   QColor(0, 0, 255), QColor(0, 190, 190),
                                  QColor(190, 190, 0), QColor(255, 0, 0), QColor(0, 0, 0)};

// A customer sharing the folded name, a phone number or the mail address with another is saved only
// when the user says so.
bool confirm_unique(Database& db, Prompter& prompter, const QStringList& fields, const QString& own_id) {
    const std::optional<DuplicateMatch> match = find_duplicate_customer(db, fields, own_id);
    return !match || prompter.ask_yes_no(duplicate_question(*match));
}

}  // namespace

// ---- ClickLabel

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QLabel::mousePressEvent(event);
}

void ClickLabel::enterEvent(QEnterEvent* event) {
    emit hovered();
    QLabel::enterEvent(event);
}

// ---- MainWindow

MainWindow::MainWindow(Session& session, Prompter& prompter, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("営業手帳 V9.21"));
    build_menu();

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    grid->addWidget(build_search_frame(), 0, 0, 2, 1);
    grid->addWidget(build_customer_frame(), 0, 1);
    grid->addWidget(build_links(), 1, 1, Qt::AlignTop);
    grid->addWidget(build_history_frame(), 2, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(central);

    // Before a customer is shown only "新規顧客追加" is offered.
    for (QWidget* w : {static_cast<QWidget*>(m_command2), static_cast<QWidget*>(m_command3),
                       static_cast<QWidget*>(m_command4), static_cast<QWidget*>(m_command6),
                       static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_mail_one), m_status})
        w->hide();
    for (auto* l : m_links)
        l->hide();
    for (auto* l : m_legend)
        l->hide();
    resize(1180, 780);
    center_form(this);
    m_help = new HelpDesk(m_session.program_folder, m_prompter, this);
    add_keys();
}

MainWindow::~MainWindow() = default;

void MainWindow::build_menu() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, bool enabled,
                      std::function<void()> action = {}) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        if (action)
            connect(a, &QAction::triggered, this, action);
        else
            connect(a, &QAction::triggered, this, [this, n = a->objectName()] { run_action(n); });
        return a;
    };
    auto separator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    QMenu* file = menu("file", "ファイル");
    add(file, "import", "読み込み(顧客)", true);
    add(file, "import_goods", "読み込み（商品）", true);
    add(file, "export", "書き出し", false);
    separator(file, "d10");
    add(file, "change_DB", "データベースファイルの切り替え", true);
    add(file, "backup", "バックアップ", true);
    separator(file, "d9");
    add(file, "del_data", "データ消去", true);
    add(file, "deleted_rows", "削除済みデータ", true);
    add(file, "fend", "終了", true, [this] { close(); });

    QMenu* edit = menu("edit", "編集");
    add(edit, "edit_person", "社員", true);
    add(edit, "edit_goods", "商品", true);
    add(edit, "edit_company", "会社情報", true);
    separator(edit, "d_merge");
    add(edit, "merge_customers", "顧客の統合", true);

    QMenu* after = menu("after", "アフターセールス(email)");
    add(after, "after_order", "受注後対応", true);
    QMenu* repeat = after->addMenu("リピート客");
    repeat->setObjectName("repeat");
    repeat->setEnabled(false);
    add(repeat, "repeat_time", "商品切れ時期勧誘", false);
    add(repeat, "P_visit", "定期訪問", false);
    QMenu* campaign = after->addMenu("キャンペーン");
    campaign->setObjectName("d5");
    add(campaign, "p_sale", "定期セール", false);
    add(campaign, "new_goods_sale", "新製品キャンペーン", true);
    add(campaign, "good_sale", "優良顧客向け優待セール", false);

    QMenu* analysys = menu("analysys", "分析");
    add(analysys, "abc_cust", "ABC分析　顧客", true);
    add(analysys, "abc_goods", "ABC分析　商品", true);
    add(analysys, "rmf", "RFM", true);
    add(analysys, "clustering", "クラスター", true);
    separator(analysys, "d6");
    add(analysys, "order2visit", "受注金額と訪問回数", true);
    separator(analysys, "d2");
    add(analysys, "p_sale_a", "定期セール効果", false);
    add(analysys, "new_goods_a", "新製品キャンペーン効果", false);
    add(analysys, "repeat_a", "リピート客勧誘", false);

    QMenu* statistic = menu("statistic", "統計");
    add(statistic, "order_rank", "顧客別売り上げランク", true);
    add(statistic, "goods_rank", "商品別売り上げランク", true);
    add(statistic, "goods_sales", "商品売り上げ推移", false);
    add(statistic, "person_sales", "個人売り上げ推移", false);

    QMenu* mail = menu("recieve_mail", "メール");
    add(mail, "receive_mail", "問い合わせメール受信", true);
    add(mail, "unread_mail_list", "未処理問い合わせ一覧", true);
    separator(mail, "d19");
    add(mail, "mail_template_edit", "メール本文テンプレート編集と同報メール送信", true);

    QMenu* help = menu("help", "ヘルプ");
    add(help, "helphtml", "ヘルプ", true, [this] { open_help(); });
    add(help, "version", "バージョン", true, [this] { open_version(); });
    add_access_keys();
}

void MainWindow::add_access_keys() {
    // Written after the caption, as Japanese programs show them: ファイル(&F). Names not listed
    // (items added later) keep their captions.
    static const QHash<QString, QChar> keys = {
        {"file", 'F'},
        {"import", 'I'},
        {"import_goods", 'G'},
        {"export", 'E'},
        {"change_DB", 'C'},
        {"backup", 'B'},
        {"del_data", 'D'},
        {"fend", 'X'},
        {"edit", 'E'},
        {"edit_person", 'P'},
        {"edit_goods", 'G'},
        {"edit_company", 'C'},
        {"after", 'A'},
        {"after_order", 'O'},
        {"repeat", 'R'},
        {"d5", 'C'},
        {"new_goods_sale", 'N'},
        {"analysys", 'N'},
        {"abc_cust", 'A'},
        {"abc_goods", 'B'},
        {"rmf", 'R'},
        {"clustering", 'C'},
        {"order2visit", 'V'},
        {"statistic", 'S'},
        {"order_rank", 'C'},
        {"goods_rank", 'G'},
        {"recieve_mail", 'M'},
        {"receive_mail", 'R'},
        {"unread_mail_list", 'U'},
        {"mail_template_edit", 'T'},
        {"help", 'H'},
        {"helphtml", 'H'},
        {"version", 'A'},
        {"repeat_time", 'T'},
        {"P_visit", 'V'},
        {"p_sale", 'P'},
        {"good_sale", 'G'},
        {"p_sale_a", 'P'},
        {"new_goods_a", 'G'},
        {"repeat_a", 'E'},
        {"goods_sales", 'T'},
        {"person_sales", 'P'},
    };
    auto with_key = [](const QString& caption, QChar key) {
        return caption.contains(QLatin1Char('&')) ? caption : caption + QStringLiteral("(&%1)").arg(key);
    };
    for (QAction* action : findChildren<QAction*>()) {
        const QString name = action->menu() ? action->menu()->objectName() : action->objectName();
        const auto it = keys.constFind(name);
        if (it != keys.constEnd() && !action->isSeparator())
            action->setText(with_key(action->text(), *it));
    }
    // F1 is shown beside the item; the help desk answers it in every window, at that window's section.
    if (QAction* help_item = findChild<QAction*>(QStringLiteral("helphtml"))) {
        help_item->setShortcut(QKeySequence::HelpContents);
        help_item->setShortcutContext(Qt::WidgetShortcut);
    }
}

void MainWindow::add_keys() {
    // Ctrl+F goes to the partial search box 検索 (see build_search_frame); Ctrl+Shift+F to the kana box.
    auto* find = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")), this);
    connect(find, &QShortcut::activated, this, [this] {
        m_findc->setFocus(Qt::ShortcutFocusReason);
        m_findc->selectAll();
    });
}

QWidget* MainWindow::build_search_frame() {
    auto* frame = new QGroupBox(QStringLiteral("顧客検索"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* layout = new QVBoxLayout(frame);

    auto* row = new QHBoxLayout;
    auto* label3 = new QLabel(QStringLiteral("顧客かな"));
    label3->setObjectName(QStringLiteral("Label3"));
    m_findc = new QLineEdit;
    m_findc->setObjectName(QStringLiteral("findc"));
    auto* clear = new ClickLabel(QStringLiteral("クリア"));
    clear->setObjectName(QStringLiteral("Label5"));
    clear->setFrameShape(QFrame::Panel);
    clear->setFrameShadow(QFrame::Raised);
    clear->setAlignment(Qt::AlignCenter);
    clear->setMinimumWidth(56);
    clear->setCursor(Qt::PointingHandCursor);
    row->addWidget(label3);
    row->addWidget(m_findc, 1);
    row->addWidget(clear);
    layout->addLayout(row);
    connect(m_findc, &QLineEdit::textChanged, this, [this](const QString& text) { search(text); });
    connect(clear, &ClickLabel::clicked, this, [this] { m_findc->clear(); });

    auto* keys = new QGridLayout;
    keys->setSpacing(2);
    for (int col = 0; col < 12; ++col) {
        for (int r = 0; r < 5; ++r) {
            const int index = kKeyGrid[col][r];
            if (index < 0)
                continue;
            auto* key = new ClickLabel(key_caption(index));
            key->setObjectName(QStringLiteral("Label1_%1").arg(index));
            key->setAlignment(Qt::AlignCenter);
            key->setFixedSize(26, 26);
            // The voicing marks are small glyphs: draw them larger so they can be seen and hit.
            if (index == 36 || index == 40) {
                QFont big = key->font();
                big.setPointSizeF(big.pointSizeF() * 1.3);
                big.setBold(true);
                key->setFont(big);
            }
            key->setFrameShape(QFrame::Panel);
            key->setFrameShadow(QFrame::Raised);
            key->setAutoFillBackground(true);
            key->setCursor(Qt::PointingHandCursor);
            keys->addWidget(key, r, col);
            connect(key, &ClickLabel::clicked, this, [this, index] { press_key(index); });
        }
    }
    layout->addLayout(keys);

    layout->addWidget(build_partial_search_row());

    auto* label7 = new QLabel(QStringLiteral("リストをクリックして顧客選択する"));
    label7->setObjectName(QStringLiteral("Label7"));
    layout->addWidget(label7);

    m_model = new CustomerListModel(
        [this](const QVector<QString>& ids) {
            // Called while the list paints: a failure leaves the names empty instead of ending the program.
            QVector<QString> names;
            guarded(m_prompter, [&] { names = customer_names(*m_session.db, ids); });
            return names;
        },
        this);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(180);
    layout->addWidget(m_list, 1);
    connect(m_list, &QListView::clicked, this, &MainWindow::list_clicked);
    frame->setFixedWidth(360);
    return frame;
}

QWidget* MainWindow::build_customer_frame() {
    m_frame2 = new QGroupBox(QStringLiteral("顧客基本情報"));
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setAutoFillBackground(true);
    auto* grid = new QGridLayout(m_frame2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    for (int i = 0; i < kCustomerFieldCount; ++i) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("Text1_%1").arg(i));
        // The fields the user classifies by hand are set apart by a darker grey.
        const bool manual = i >= 12 && i <= 16;
        edit->setStyleSheet(manual ? QStringLiteral("background-color: rgb(192,192,192);")
                                   : QStringLiteral("background-color: rgb(224,224,224);"));
        m_fields << edit;
        connect(edit, &QLineEdit::returnPressed, this,
                [this, i] { m_fields.at((i + 1) % kCustomerFieldCount)->setFocus(); });
    }
    auto caption = [](int i) {
        auto* l = new QLabel(kFieldCaptions.at(i));
        l->setObjectName(QStringLiteral("FieldLabel_%1").arg(i));
        return l;
    };
    // Two columns of fields; the paired ones (postal code, RMF) share a row.
    int row = 0;
    auto put = [&](int col, int item, int span = 3) {
        grid->addWidget(caption(item), row, col * 4);
        grid->addWidget(m_fields[item], row, col * 4 + 1, 1, span);
    };
    put(0, 0);
    put(1, 1);
    ++row;
    put(0, 2);
    grid->addWidget(caption(3), row, 4);
    grid->addWidget(m_fields[3], row, 5);
    grid->addWidget(new QLabel(QStringLiteral("-")), row, 6, Qt::AlignCenter);
    grid->addWidget(m_fields[4], row, 7);
    ++row;
    put(0, 5, 7);
    ++row;
    put(0, 6);
    put(1, 7);
    ++row;
    put(0, 8);
    put(1, 9);
    ++row;
    put(0, 10);
    put(1, 11);
    ++row;
    put(0, 12);
    put(1, 13);
    ++row;
    grid->addWidget(caption(14), row, 0);
    grid->addWidget(m_fields[14], row, 1);
    grid->addWidget(m_fields[15], row, 2);
    grid->addWidget(m_fields[16], row, 3);
    ++row;
    put(0, 17, 7);
    ++row;

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    m_command1 = button("Command1", "新規顧客追加");
    m_command2 = button("Command2", "キャンセル");
    m_command3 = button("Command3", "保存終了");
    m_command4 = button("Command4", "新規顧客　保存および次の入力");
    m_command6 = button("Command6", "変更");
    m_delete = button("delete_cust", "削除");
    m_mail_one = button("mail_one", "メール送信");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_command1, m_command2, m_command3, m_command4, m_command6, m_delete, m_mail_one})
        buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, row, 0, 1, 8);

    connect(m_command1, &QPushButton::clicked, this, &MainWindow::new_entry);
    connect(m_command2, &QPushButton::clicked, this, &MainWindow::cancel_entry);
    connect(m_command3, &QPushButton::clicked, this, &MainWindow::save_and_close);
    connect(m_command4, &QPushButton::clicked, this, &MainWindow::save_and_next);
    connect(m_command6, &QPushButton::clicked, this, &MainWindow::update_shown);
    connect(m_delete, &QPushButton::clicked, this, &MainWindow::delete_shown);
    connect(m_mail_one, &QPushButton::clicked, this, [this] {
        if (!refuse_without_customer())
            run_action(QStringLiteral("mail_one"));
    });
    return m_frame2;
}

QWidget* MainWindow::build_links() {
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("Links"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < 6; ++k) {
        auto* link = new ClickLabel(kLinkCaptions.at(k));
        link->setObjectName(QStringLiteral("Label4_%1").arg(k));
        link->setAlignment(Qt::AlignCenter);
        link->setFrameShape(QFrame::Box);
        link->setAutoFillBackground(true);
        link->setFixedSize(110, 32);
        link->setCursor(Qt::PointingHandCursor);
        link->setStyleSheet(QStringLiteral("background-color: rgb(255,255,255);"));
        m_links << link;
        row->addWidget(link);
        connect(link, &ClickLabel::clicked, this, [this, k] {
            if (refuse_without_customer())
                return;
            if (m_entry_opener)
                m_entry_opener(k);
            else
                not_ready();
        });
        connect(link, &ClickLabel::hovered, this, [this, link] { set_row_highlight(m_links, link); });
    }
    row->addStretch(1);
    return box;
}

QWidget* MainWindow::build_history_frame() {
    auto* frame = new QGroupBox(QStringLiteral("履歴"));
    frame->setObjectName(QStringLiteral("Frame3"));
    auto* layout = new QVBoxLayout(frame);
    m_label8 = new QLabel(QStringLiteral("1年間の履歴図"));
    m_label8->setObjectName(QStringLiteral("Label8"));
    layout->addWidget(m_label8);
    auto* row = new QHBoxLayout;
    m_chart = new ChartWidget;
    m_status = m_chart;
    m_status->setMinimumSize(700, 180);
    row->addWidget(m_status, 1);
    auto* legend = new QVBoxLayout;
    for (int k = 0; k < 6; ++k) {
        auto* item = new ClickLabel(kLegendCaptions.at(k));
        item->setObjectName(QStringLiteral("Label2_%1").arg(k));
        item->setAutoFillBackground(true);
        item->setMinimumWidth(90);
        item->setCursor(Qt::PointingHandCursor);
        item->setStyleSheet(
            QStringLiteral("background-color: rgb(255,255,255); color: %1;").arg(kLegendColours[k].name()));
        m_legend << item;
        legend->addWidget(item);
        connect(item, &ClickLabel::clicked, this, [this, k] {
            m_session.selected_table = k;
            m_session.selected_field_count =
                k < m_session.table_items.size() ? m_session.table_items.at(k).field_count : 0;
            if (m_legend_opener)
                guarded(m_prompter, [&] { m_legend_opener(k); });
            else
                not_ready();
        });
        connect(item, &ClickLabel::hovered, this, [this, item] { set_row_highlight(m_legend, item); });
    }
    legend->addStretch(1);
    row->addLayout(legend);
    layout->addLayout(row, 1);
    return frame;
}

void MainWindow::set_row_highlight(const QVector<ClickLabel*>& row, ClickLabel* hovered) {
    for (ClickLabel* l : row) {
        QString style = l->styleSheet();
        static const QRegularExpression bg(QStringLiteral("background-color: rgb\\([0-9, ]+\\);"));
        style.replace(bg, l == hovered ? QStringLiteral("background-color: rgb(200,100,100);")
                                       : QStringLiteral("background-color: rgb(255,255,255);"));
        l->setStyleSheet(style);
    }
}

void MainWindow::not_ready() {
    m_prompter.inform(kNotReady);
}

void MainWindow::show_status(const QString& text) {
    statusBar()->showMessage(text, 15000);
}

void MainWindow::set_action(const QString& name, std::function<void()> action) {
    m_actions.insert(name, std::move(action));
}

void MainWindow::run_action(const QString& name) {
    const auto it = m_actions.constFind(name);
    if (it == m_actions.constEnd() || !*it) {
        not_ready();
        return;
    }
    guarded(m_prompter, *it);
}

void MainWindow::open_help() {
    // In a window of the program: no browser is needed.
    m_help->open();
}

void MainWindow::open_version() {
    if (!m_version)
        m_version = new VersionDialog(m_prompter, this);
    m_version->show();
    m_version->raise();
}

void MainWindow::search(const QString& text) {
    if (text.isEmpty())
        return;  // the list keeps what it showed
    guarded(m_prompter, [&] { show_matches(search_customer_ids(*m_session.db, text)); });
}

void MainWindow::partial_search(const QString& text) {
    if (partial_search_terms(text).value(0).size() < kPartialSearchMinimum)
        return;  // from the second character on; until then the list keeps what it showed
    guarded(m_prompter, [&] { show_matches(partial_search_customer_ids(*m_session.db, text)); });
}

void MainWindow::show_matches(QVector<QString> ids) {
    // The chosen customer stays chosen when the new list still holds it.
    const QModelIndex current = m_list->currentIndex();
    const QString selected = current.isValid() ? m_model->id_at(current.row()) : QString();
    const bool single = ids.size() == 1;
    const QString only = single ? ids.first() : QString();
    m_model->set_ids(std::move(ids));
    m_hit_count->setText(QStringLiteral("%1 件").arg(m_model->rowCount()));
    const int row = m_model->row_of(selected);
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        m_list->setCurrentIndex(index);
        m_list->scrollTo(index);
    }
    if (single)
        show_customer(only);
}

QWidget* MainWindow::build_partial_search_row() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("検索"));
    caption->setObjectName(QStringLiteral("findpLabel"));
    m_findp = new QLineEdit;
    m_findp->setObjectName(QStringLiteral("findp"));
    m_findp->setPlaceholderText(QStringLiteral("名前・住所・担当者・メール・電話番号の一部"));
    m_findp->setToolTip(QStringLiteral("Ctrl+F"));
    m_hit_count = new QLabel;
    m_hit_count->setObjectName(QStringLiteral("hitCount"));
    m_hit_count->setMinimumWidth(64);
    m_hit_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(caption);
    row->addWidget(m_findp, 1);
    row->addWidget(m_hit_count);
    connect(m_findp, &QLineEdit::textChanged, this, [this](const QString& text) { partial_search(text); });
    auto* focus = new QShortcut(QKeySequence::Find, this);
    focus->setObjectName(QStringLiteral("findpShortcut"));
    connect(focus, &QShortcut::activated, this, [this] {
        m_findp->setFocus();
        m_findp->selectAll();
    });
    return box;
}

void MainWindow::press_key(int index) {
    m_findc->setText(apply_kana_key(m_findc->text(), key_caption(index)));
}

void MainWindow::list_clicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString id = m_model->id_at(index.row());
    m_chart->clear_chart();
    guarded(m_prompter, [&] { show_customer(id); });
}

bool MainWindow::show_customer(const QString& customer_id) {
    bool numeric = false;
    customer_id.trimmed().toLongLong(&numeric);
    if (!numeric)
        return false;
    // The fields show the row kept for the write-conflict check, so both are the same read.
    StoredRow stored = read_stored_row(*m_session.db, customer_address(customer_id));
    if (!stored.found || stored.values.size() < kCustomerFieldCount + 1)
        return false;
    m_shown_row = stored;
    const std::optional<QStringList> row = row_texts(stored);
    for (int i = 1; i <= kCustomerFieldCount; ++i)
        m_fields[i - 1]->setText(row->at(i));
    for (auto* l : m_links)
        l->show();
    for (auto* l : m_legend)
        l->show();
    for (QWidget* w : {static_cast<QWidget*>(m_command1), static_cast<QWidget*>(m_command6),
                       static_cast<QWidget*>(m_mail_one), static_cast<QWidget*>(m_delete), m_status})
        w->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
    m_session.current_customer_id = row->at(0);
    m_session.current_customer_name = m_fields[0]->text();
    m_session.history_scope = 2;
    m_shown_id = row->at(0);
    m_label8->setText(QStringLiteral("商品1年間履歴"));
    m_chart->set_chart(
        load_history(*m_session.db, HistoryFilter::customer(row->at(0)), m_session.clock.today()));
    emit customer_shown();
    return true;
}

void MainWindow::show_employee_history() {
    m_label8->setText(m_session.current_employee);
    for (int k = 1; k <= 4; ++k)
        m_legend[k]->show();
    m_status->show();
    m_session.history_scope = 1;
    guarded(m_prompter, [&] {
        m_chart->set_chart(load_history(*m_session.db, HistoryFilter::employee(m_session.current_employee),
                                        m_session.clock.today()));
    });
}

// ---- customer editing

QStringList MainWindow::field_texts() const {
    QStringList texts;
    for (const QLineEdit* f : m_fields)
        texts << f->text();
    return texts;
}

void MainWindow::clear_fields() {
    for (QLineEdit* f : m_fields)
        f->clear();
}

void MainWindow::set_frame2_colour(const QColor& colour) {
    QPalette pal = m_frame2->palette();
    pal.setColor(QPalette::Window, colour);
    m_frame2->setPalette(pal);
}

bool MainWindow::refuse_without_customer() {
    if (!m_session.current_customer_id.isEmpty())
        return false;
    m_prompter.inform(QStringLiteral("顧客を選択してください"));
    return true;
}

void MainWindow::forget_shown_customer() {
    // Nothing may go on acting for the customer that was shown: entry screens read these values.
    m_shown_id.clear();
    m_session.current_customer_id.clear();
    m_session.current_customer_name.clear();
    m_chart->clear_chart();
    m_label8->setText(QStringLiteral("1年間の履歴図"));
}

void MainWindow::new_entry() {
    clear_fields();
    forget_shown_customer();
    m_command1->hide();
    m_command6->hide();
    m_command2->show();
    m_command3->show();
    m_command4->show();
    set_frame2_colour(QColor(200, 250, 200));
    m_fields[0]->setFocus();
}

void MainWindow::cancel_entry() {
    clear_fields();
    forget_shown_customer();
    m_command1->show();
    m_command6->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
    m_delete->hide();
    set_frame2_colour(QColor(255, 255, 255));
}

void MainWindow::save_and_close() {
    const QString name = m_fields[0]->text();
    bool saved = false;
    if (!guarded(m_prompter, [&] {
            if ((saved = confirm_unique(*m_session.db, m_prompter, field_texts(), QString())))
                insert_customer(*m_session.db, field_texts());
        }) ||
        !saved)
        return;
    show_status(QStringLiteral("顧客を保存しました（%1）").arg(name));
    clear_fields();
    m_command1->show();
    m_command6->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
}

void MainWindow::save_and_next() {
    guarded(m_prompter, [&] {
        const QStringList fields = field_texts();
        const int error = check_new_customer(*m_session.db, fields);
        if (error != 0) {
            m_prompter.inform(customer_check_message(error));
            return;
        }
        if (!confirm_unique(*m_session.db, m_prompter, fields, QString()))
            return;
        insert_customer(*m_session.db, fields);
        show_status(QStringLiteral("顧客を保存しました（%1）").arg(fields.at(0)));
    });
}

void MainWindow::update_shown() {
    if (m_shown_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    bool saved = false;
    const QString id = m_shown_id;
    guarded(m_prompter, [&] {
        if (!confirm_unique(*m_session.db, m_prompter, field_texts(), id))
            return;
        saved = save_shown_row(
            m_prompter, m_shown_row,
            [&](const StoredRow* shown, StoredRow* stored) {
                return update_customer(*m_session.db, field_texts(), id, shown, stored);
            },
            [&] { show_customer(id); });
    });
    if (saved)
        show_status(QStringLiteral("顧客情報を変更しました（%1）").arg(m_fields[0]->text()));
}

void MainWindow::delete_shown() {
    // In new entry or after cancel no customer is shown: there is nothing to delete.
    if (m_shown_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    if (m_prompter.ask_yes_no(QStringLiteral("本当に削除しますか"))) {
        const QString name = m_fields[0]->text();
        bool deleted = false;
        const QString id = m_shown_id;
        guarded(m_prompter, [&] {
            deleted = save_shown_row(
                m_prompter, m_shown_row,
                [&](const StoredRow* shown, StoredRow* stored) {
                    return delete_customer(*m_session.db, id, m_session.current_employee, shown, stored);
                },
                [&] { show_customer(id); });
        });
        if (deleted) {
            m_model->clear();
            m_hit_count->clear();
            m_findc->clear();
            show_status(QStringLiteral("顧客を削除しました（%1）").arg(name));
        }
    }
    m_delete->hide();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    QCoreApplication::quit();
}
