#include "ui/app/first_start_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/program_folder.h"
#include "app/startup.h"
#include "app/user_folder.h"
#include "db/database_error.h"
#include "ui/common/prompter.h"

FirstStartDialog::FirstStartDialog(const QString& folder, Prompter& prompter, bool remember, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_folder(folder), m_remember(remember) {
    setObjectName(QStringLiteral("hajimeni"));
    setWindowTitle(QStringLiteral("はじめに"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("はじめに"), this);
    heading->setObjectName(QStringLiteral("Title"));
    QFont large = heading->font();
    large.setPointSize(large.pointSize() + 6);
    large.setBold(true);
    heading->setFont(large);
    layout->addWidget(heading);
    auto* intro = new QLabel(QStringLiteral("営業手帳へようこそ。\n"
                                            "データを置くプログラムフォルダがまだありません。\n"
                                            "次のフォルダに作成して始めます:"),
                             this);
    intro->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(intro);
    m_folder_label = new QLabel(this);
    m_folder_label->setObjectName(QStringLiteral("Label2"));
    m_folder_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_folder_label->font();
    bold.setBold(true);
    m_folder_label->setFont(bold);
    layout->addWidget(m_folder_label);
    auto button = [&](const char* name, const QString& caption, const QString& detail) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setMinimumHeight(36);
        layout->addWidget(b);
        auto* d = new QLabel(detail, this);
        d->setIndent(16);
        layout->addWidget(d);
        return b;
    };
    QPushButton* empty = button("emptyB", QStringLiteral("空のデータベースで始める"),
                                QStringLiteral("自社情報の行だけがあるデータベースを作ります。\n"
                                               "最初の社員（と会社名）はログインの画面で登録します。"));
    QPushButton* sample =
        button("sampleB", QStringLiteral("サンプルデータで始める"),
               QStringLiteral("架空の顧客・受注・訪問などを入れて、操作を試せるようにします。"));
    QPushButton* other = button("folderB", QStringLiteral("別のフォルダを選ぶ…"),
                                QStringLiteral("sales.ini のあるフォルダならそのまま使います。"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* quit = new QPushButton(QStringLiteral("終了"), this);
    quit->setObjectName(QStringLiteral("cmdCancel"));
    row->addWidget(quit);
    layout->addLayout(row);
    connect(empty, &QPushButton::clicked, this, [this] { create(false); });
    connect(sample, &QPushButton::clicked, this, [this] { create(true); });
    connect(other, &QPushButton::clicked, this, &FirstStartDialog::choose_other);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    show_folder();
    setMinimumWidth(460);
}

void FirstStartDialog::show_folder() {
    m_folder_label->setText(QDir::toNativeSeparators(m_folder));
}

void FirstStartDialog::create(bool sample) {
    if (!QDir().mkpath(m_folder)) {
        m_prompter.inform(QStringLiteral("フォルダを作成できません: ") + QDir::toNativeSeparators(m_folder));
        return;
    }
    InitOptions options;
    options.folder = m_folder;
    options.demo = sample;
    options.help_source = installed_help_file();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        init_program_folder(options);
        QApplication::restoreOverrideCursor();
    } catch (const StartupError& e) {
        QApplication::restoreOverrideCursor();
        m_prompter.inform(e.message());
        return;
    } catch (const DatabaseError& e) {
        QApplication::restoreOverrideCursor();
        m_prompter.inform(QStringLiteral("データベースを作成できません。\n") + e.message());
        return;
    }
    if (m_remember && !remember_user_program_folder(m_folder))
        m_prompter.inform(QStringLiteral("フォルダを設定に記録できません: ") + user_settings_file());
    accept();
}

void FirstStartDialog::choose_other() {
    const QString chosen = m_prompter.choose_folder(
        this, QStringLiteral("プログラムフォルダを選んでください"), QFileInfo(m_folder).path());
    if (chosen.isEmpty())
        return;
    m_folder = QDir::cleanPath(chosen);
    show_folder();
    if (holds_sales_ini(m_folder)) {
        if (m_remember && !remember_user_program_folder(m_folder))
            m_prompter.inform(QStringLiteral("フォルダを設定に記録できません: ") + user_settings_file());
        accept();
    }
}
