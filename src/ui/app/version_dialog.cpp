#include "ui/app/version_dialog.h"

#include <QLabel>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

#include "ui/common/prompter.h"

VersionDialog::VersionDialog(Prompter& prompter, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("versionfrm"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    auto* layout = new QVBoxLayout(this);
    auto label = [&](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        layout->addWidget(l);
        return l;
    };
    QLabel* product = label("Label1", QStringLiteral("営業手帳 for Wodows"));
    QFont f = product->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    product->setFont(f);
    label("Label2", QStringLiteral("V0.92"));
    label("Label3", QStringLiteral("スタンドアローン版"));
    QLabel* home = label("Label4", QStringLiteral("<a href=\"%1\">%1</a>").arg(home_page()));
    home->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(home, &QLabel::linkActivated, this, [&prompter](const QString& link) {
        if (!prompter.open_document(QUrl(link)))
            prompter.inform(QStringLiteral("ブラウザを開けませんでした: ") + link);
    });
    label("Label5", QStringLiteral("お問い合わせ: ") + contact());
    label("Label6", QStringLiteral("動作環境: %1（%2）")
                        .arg(QSysInfo::prettyProductName(), QSysInfo::currentCpuArchitecture()));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(close, 0, Qt::AlignRight);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    setMinimumWidth(360);
}
