#include "ui/masters/person_screen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"

MasterScreen::MasterScreen(Session& session, Prompter& prompter, MasterKind kind, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter), m_kind(kind) {
    const MasterTable& t = master_table(kind);
    setObjectName(kind == MasterKind::Employees ? QStringLiteral("personfrm") : QStringLiteral("goods"));
    setWindowTitle(t.title);

    auto* layout = new QHBoxLayout(this);
    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setMinimumSize(220, 280);
    layout->addWidget(m_list);

    auto* right = new QVBoxLayout;
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(t.key_caption), 0, 0);
    m_key_label = new QLabel;
    m_key_label->setObjectName(QStringLiteral("Label3"));
    m_key_label->setFrameShape(QFrame::Panel);
    m_key_label->setFrameShadow(QFrame::Sunken);
    m_key_label->setMinimumWidth(80);
    grid->addWidget(m_key_label, 0, 1, Qt::AlignLeft);
    for (int i = 0; i < 4; ++i) {
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        box->setMinimumWidth(260);
        if (t.numeric.at(i))
            box->setAlignment(Qt::AlignRight);
        m_text1 << box;
        grid->addWidget(new QLabel(t.captions.at(i)), i + 1, 0);
        grid->addWidget(box, i + 1, 1);
        connect(box, &QLineEdit::returnPressed, this, [this, i] { m_text1.at((i + 1) % 4)->setFocus(); });
    }
    right->addLayout(grid);
    m_label4 = new QLabel;
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_label4->setStyleSheet(QStringLiteral("color: #c00000;"));
    right->addWidget(m_label4);
    right->addStretch(1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(QString::fromUtf8(caption));
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    m_new = button("newB", "新規");
    m_save = button("saveB", "保存");
    m_update = button("updateB", "更新");
    m_delete = button("deleteB", "削除");
    m_cancel = button("cancelB", "閉じる");
    right->addLayout(buttons);
    layout->addLayout(right);

    connect(m_list, &QListWidget::itemClicked, this, &MasterScreen::choose);
    connect(m_list, &QListWidget::itemActivated, this, &MasterScreen::choose);
    connect(m_new, &QPushButton::clicked, this, &MasterScreen::start_new);
    connect(m_save, &QPushButton::clicked, this, &MasterScreen::save);
    connect(m_update, &QPushButton::clicked, this, &MasterScreen::update_record);
    connect(m_delete, &QPushButton::clicked, this, &MasterScreen::delete_record);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    // A new record is saved, a chosen one updated.
    set_key_buttons({m_save, m_update}, m_cancel);

    show_buttons(true, false, false, false);
    refresh_list();
    adjustSize();
    center_form(this);
}

void MasterScreen::show_buttons(bool new_b, bool save_b, bool update_b, bool delete_b) {
    m_new->setVisible(new_b);
    m_save->setVisible(save_b);
    m_update->setVisible(update_b);
    m_delete->setVisible(delete_b);
    m_cancel->setVisible(true);
}

void MasterScreen::refresh_list() {
    m_list->clear();
    guarded(m_prompter, [&] {
        for (const MasterEntry& e : list_masters(*m_session.db, m_kind)) {
            auto* item = new QListWidgetItem(e.name, m_list);
            item->setData(Qt::UserRole, e.key);
        }
    });
}

void MasterScreen::clear_fields() {
    for (QLineEdit* box : m_text1)
        box->clear();
    hold_key(QString());
}

void MasterScreen::hold_key(const QString& key) {
    m_key = key;
    m_key_label->setText(key);
}

QStringList MasterScreen::field_texts() const {
    QStringList texts;
    for (const QLineEdit* box : m_text1)
        texts << box->text();
    return texts;
}

void MasterScreen::choose(QListWidgetItem* item) {
    if (!item)
        return;
    guarded(m_prompter, [&] {
        const std::optional<MasterRecord> record =
            read_master(*m_session.db, m_kind, item->data(Qt::UserRole).toString());
        if (!record) {
            m_label4->setText(QStringLiteral("このデータは削除されています"));
            refresh_list();
            return;
        }
        hold_key(record->key);
        m_shown = record->stored;
        for (int i = 0; i < 4; ++i)
            m_text1.at(i)->setText(record->fields.value(i));
        m_label4->clear();
        m_new->hide();
        m_update->show();
        m_delete->show();
        m_cancel->show();
    });
}

// The held row as stored now, after another PC changed it.
void MasterScreen::reshow() {
    const QString key = m_key;
    refresh_list();
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->data(Qt::UserRole).toString() == key) {
            m_list->setCurrentRow(i);
            choose(m_list->item(i));
            return;
        }
    }
}

void MasterScreen::start_new() {
    // A new record holds no key: updateB and deleteB would otherwise act on the record chosen before.
    clear_fields();
    m_label4->clear();
    show_buttons(false, true, false, false);
    m_text1.first()->setFocus();
}

void MasterScreen::save() {
    guarded(m_prompter, [&] {
        const QString problem = insert_master(*m_session.db, m_kind, field_texts());
        if (!problem.isEmpty()) {
            m_label4->setText(problem);
            return;
        }
        m_label4->clear();
        show_buttons(true, false, false, false);
        refresh_list();
        clear_fields();
    });
}

void MasterScreen::update_record() {
    guarded(m_prompter, [&] {
        QString problem;
        const bool saved = save_shown_row(
            m_prompter, m_shown,
            [&](const StoredRow* shown, StoredRow* stored) {
                WriteCheck check = WriteCheck::Clear;
                problem = update_master(*m_session.db, m_kind, m_key, field_texts(), shown, stored, &check);
                return check;
            },
            [&] { reshow(); });
        if (!problem.isEmpty()) {
            m_label4->setText(problem);
            return;
        }
        if (!saved)
            return;
        m_label4->clear();
        show_buttons(true, false, false, false);
        // The list shows a changed name at once; the boxes keep what was saved.
        refresh_list();
    });
}

void MasterScreen::delete_record() {
    if (!m_prompter.ask_yes_no(QStringLiteral("本当に削除しますか")))
        return;
    guarded(m_prompter, [&] {
        bool reshown = false;
        save_shown_row(
            m_prompter, m_shown,
            [&](const StoredRow* shown, StoredRow* stored) {
                return delete_master(*m_session.db, m_kind, m_key, m_session.current_employee, shown, stored);
            },
            [&] {
                reshow();
                reshown = true;
            });
        if (reshown)
            return;
        m_label4->clear();
        show_buttons(true, false, false, false);
        refresh_list();
        clear_fields();
    });
}

MasterScreen* make_person_screen(Session& session, Prompter& prompter) {
    return new MasterScreen(session, prompter, MasterKind::Employees);
}
