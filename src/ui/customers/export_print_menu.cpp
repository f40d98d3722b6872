// ファイル → 書き出し and 印刷…: the list of the window worked in, and the main window's chart.
#include <QAction>
#include <QLabel>
#include <QListView>
#include <QMenu>

#include "app/session.h"
#include "print/print_job.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "ui/records/chart_widget.h"

namespace {

void print_chart(const ScreenContext& context) {
    ChartWidget* chart = context.main.chart();
    if (!chart->has_chart() || !chart->isVisible()) {
        context.prompter.inform(QStringLiteral("印刷する履歴図がありません。顧客を選んでください。"));
        return;
    }
    const Session& session = context.session;
    const auto* label8 = context.main.findChild<QLabel*>(QStringLiteral("Label8"));
    QString title = label8 ? label8->text() : QStringLiteral("1年間の履歴図");
    if (session.history_scope == 2)
        title += QStringLiteral("　") + session.current_customer_name;
    else
        title = QStringLiteral("1年間の履歴　") + session.current_employee;
    const QDate today = session.clock.today();
    const QString period = QStringLiteral("%1 ～ %2")
                               .arg(today.addDays(-kHistoryDays).toString(QStringLiteral("yyyy/MM/dd")),
                                    today.toString(QStringLiteral("yyyy/MM/dd")));
    context.prompter.print_preview(
        &context.main,
        PrintJob(PrintHeading{session.company_setting(2), title, today}, PrintChart{period, chart->chart()}));
}

}  // namespace

void install_export_print(const ScreenContext& context) {
    MainWindow& main = context.main;
    if (auto* search_list = main.findChild<QListView*>(QStringLiteral("List1")))
        install_list_tools(search_list, context.session, context.prompter, QStringLiteral("顧客名"));
    main.set_action(QStringLiteral("export"), [&main, prompter = &context.prompter] {
        if (QAbstractItemView* view = current_list(&main))
            export_list(view);
        else
            prompter->inform(QStringLiteral("書き出す一覧がありません。"));
    });
    if (auto* item = main.findChild<QAction*>(QStringLiteral("export")))
        item->setEnabled(true);

    // 印刷… stands after 書き出し in the file menu.
    auto* file = main.findChild<QMenu*>(QStringLiteral("file"));
    auto* separator = main.findChild<QAction*>(QStringLiteral("d10"));
    if (!file || !separator)
        return;
    auto* print = new QAction(QStringLiteral("印刷…(&P)"), file);
    print->setObjectName(QStringLiteral("print"));
    print->setShortcut(QKeySequence::Print);
    file->insertAction(separator, print);
    QObject::connect(print, &QAction::triggered, &main, [context] { print_chart(context); });
}
