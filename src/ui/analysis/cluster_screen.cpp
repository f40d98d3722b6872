#include "ui/analysis/cluster_screen.h"

#include <QLabel>
#include <QVBoxLayout>

#include "analysis/cluster.h"
#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"

ClusterScreen::ClusterScreen(Session& session, Prompter& prompter, QWidget* parent)
    : ClusterTreeWindow(session, prompter, parent) {
    setObjectName(QStringLiteral("clusterfrm"));
    setWindowTitle(QStringLiteral("クラスター分析 顧客を４つに分類 "));
    auto* about =
        new QLabel(QStringLiteral("受注金額累計、見積もり回数、訪問回数、問い合わせ回数、クレーム回数、原価累"
                                  "計を使ってクラスター分析を行います"));
    about->setObjectName(QStringLiteral("Label2"));
    about->setWordWrap(true);
    info_area()->addWidget(about);
    resize(640, 520);
}

void ClusterScreen::load() {
    center_form(this);
    guarded(m_prompter, [&] {
        const ClusterResult result = run_clustering(*m_session.db);
        if (!result.ok()) {
            m_prompter.inform(result.refusal);
            return;
        }
        build_cluster_tree(result);
    });
}

void ClusterScreen::build_cluster_tree(const ClusterResult& result) {
    clear_tree();
    add_node(QString(), QStringLiteral("r"), QStringLiteral("ルート"));
    const QString letters = QStringLiteral("ABCD");
    for (int g = 0; g < 4; ++g)
        add_node(QStringLiteral("r"), letters.at(g), cluster_group_text(g, result.groups.counts[size_t(g)]));
    for (int c = 0; c < result.cases.size(); ++c)
        add_node(letters.at(result.groups.group[size_t(c)]), QStringLiteral("aaa%1").arg(c),
                 result.cases.names.at(c));
    expand(QStringLiteral("r"));
}
