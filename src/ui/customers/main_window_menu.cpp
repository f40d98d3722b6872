// The main window's menu bar: items by their design names, access keys, and the window's own shortcuts.

#include "ui/customers/main_window.h"

#include <QAction>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>
#include <QUrl>

#include "app/log_file.h"
#include "ui/common/prompter.h"

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
    separator(file, "d_sync");
    add(file, "checkout", "持ち出し…", true);
    add(file, "sync", "同期", true);
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
    // The log for support: the folder opens in the file manager, so the file can be attached.
    add(help, "log_folder", "ログフォルダを開く", true, [this] {
        QDir().mkpath(log_folder());
        if (!m_prompter.open_document(QUrl::fromLocalFile(log_folder())))
            m_prompter.inform(QStringLiteral("ログフォルダを開けませんでした: ") + log_folder());
    });
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
        {"checkout", 'O'},
        {"sync", 'S'},
        {"del_data", 'D'},
        {"deleted_rows", 'R'},
        {"fend", 'X'},
        {"edit", 'E'},
        {"edit_person", 'P'},
        {"edit_goods", 'G'},
        {"edit_company", 'C'},
        {"merge_customers", 'M'},
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
        {"log_folder", 'L'},
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
