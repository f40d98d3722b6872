#include "ui/records/detail_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/prompter.h"

DetailView::DetailView(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("detailfrm"));
    setWindowTitle(QStringLiteral("詳細"));
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    m_label1 = new QLabel;
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel;
    m_label2->setObjectName(QStringLiteral("Label2"));
    head->addWidget(m_label1);
    head->addStretch(1);
    head->addWidget(m_label2);
    layout->addLayout(head);
    m_text1 = new QPlainTextEdit;
    m_text1->setObjectName(QStringLiteral("Text1"));
    layout->addWidget(m_text1, 1);
    auto* back = new QPushButton(QStringLiteral("戻る"));
    back->setObjectName(QStringLiteral("Command1"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back);
    layout->addLayout(buttons);
    connect(back, &QPushButton::clicked, this, [this] {
        emit returned(m_label2->text().toInt(), m_text1->toPlainText());
        hide();
    });
    resize(520, 360);
    center_form(this);
}

void DetailView::edit(const QString& field_name, int position, const QString& value) {
    m_label1->setText(field_name);
    m_label2->setText(QString::number(position));
    m_text1->setPlainText(value);
}
