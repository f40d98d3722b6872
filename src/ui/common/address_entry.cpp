#include "ui/common/address_entry.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>

#include "address/phone_number.h"
#include "address/postal_files.h"
#include "ui/common/prompter.h"

namespace {

const char* const kEditedProperty = "phoneEdited";

// A small grey question mark: noticed when looked for, never in the way.
QIcon quiet_mark() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(140, 140, 140), 1.2));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font = painter.font();
    font.setPixelSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    return QIcon(pixmap);
}

}  // namespace

PostalAddressEntry::PostalAddressEntry(QLineEdit* code1, QLineEdit* code2, QLineEdit* prefecture,
                                       QLineEdit* address, Prompter& prompter, QWidget* window)
    : QObject(window),
      m_code1(code1),
      m_code2(code2),
      m_prefecture(prefecture),
      m_address(address),
      m_prompter(prompter),
      m_window(window) {
    m_button = new QPushButton(QStringLiteral("〒⇔住所"));
    m_button->setObjectName(QStringLiteral("postalSearch"));
    m_button->setToolTip(
        QStringLiteral("郵便番号から住所を入れます。郵便番号が空なら、住所から郵便番号を探します（F4）"));
    m_button->setFocusPolicy(Qt::NoFocus);  // Enter in the boxes keeps moving to the next box
    connect(m_button, &QPushButton::clicked, this, &PostalAddressEntry::look_up);
    auto* key = new QShortcut(QKeySequence(Qt::Key_F4), window);
    key->setContext(Qt::WidgetWithChildrenShortcut);
    connect(key, &QShortcut::activated, this, &PostalAddressEntry::look_up);
    // Only the user's typing looks up: showing a stored row (setText) does not.
    for (QLineEdit* box : {m_code1, m_code2})
        connect(box, &QLineEdit::textEdited, this, [this, box] { code_edited(box); });
}

const PostalTable* PostalAddressEntry::table() {
    QString problem;
    const PostalTable* t = current_postal_table(&problem);
    if (!t)
        m_prompter.inform(problem);
    return t;
}

void PostalAddressEntry::code_edited(QLineEdit* box) {
    // The box typed in may hold the whole code (the other box then holds an older part). The two
    // boxes together count only once the second is typed: a whole code being typed into the first
    // makes seven digits with the old second part after its third digit.
    std::optional<QString> code = postal_code_digits(box->text());
    if (!code && box == m_code2)
        code = postal_code_digits(m_code1->text() + m_code2->text());
    if (code)
        fill_from_code(*code);
}

void PostalAddressEntry::look_up() {
    const std::optional<QString> code = postal_code_digits(m_code1->text() + m_code2->text());
    if (code)
        fill_from_code(*code);
    else if (!m_address->text().trimmed().isEmpty())
        find_code();
    else
        m_prompter.inform(QStringLiteral("郵便番号（7 桁）か住所を入れてください。"));
}

QString PostalAddressEntry::shown_address() const {
    return m_prefecture ? m_prefecture->text().trimmed() + u' ' + m_address->text().trimmed()
                        : m_address->text().trimmed();
}

QString PostalAddressEntry::line_of(const PostalEntry& entry) const {
    return entry.code_text() + QStringLiteral("　") + entry.prefecture + entry.address();
}

bool PostalAddressEntry::holds(const PostalEntry& entry) const {
    const QString address = postal_match_form(m_address->text());
    const QString start = postal_match_form(entry.address());
    if (!m_prefecture)
        return address.startsWith(postal_match_form(entry.prefecture) + start) || address.startsWith(start);
    const QString prefecture = postal_match_form(m_prefecture->text());
    return (prefecture.isEmpty() || prefecture == postal_match_form(entry.prefecture)) &&
           address.startsWith(start);
}

void PostalAddressEntry::set_code(const QString& code) {
    m_code1->setText(code.left(3));
    m_code2->setText(code.mid(3));
}

void PostalAddressEntry::set_address(const PostalEntry& entry) {
    if (m_prefecture) {
        m_prefecture->setText(entry.prefecture);
        m_address->setText(entry.address());
    } else {
        m_address->setText(entry.prefecture + entry.address());
    }
    // The 番地 is typed next.
    m_address->setFocus();
    m_address->end(false);
}

void PostalAddressEntry::fill_from_code(const QString& code) {
    const PostalTable* t = table();
    if (!t)
        return;
    const QVector<PostalEntry> found = t->find_code(code);
    if (found.isEmpty()) {
        m_prompter.inform(
            QStringLiteral("郵便番号 %1-%2 は郵便番号データにありません。").arg(code.left(3), code.mid(3)));
        return;
    }
    set_code(code);
    // An address that already is one of the code's stays as it is.
    for (const PostalEntry& e : found) {
        if (holds(e)) {
            if (m_prefecture && m_prefecture->text().trimmed().isEmpty())
                m_prefecture->setText(e.prefecture);
            return;
        }
    }
    const bool typed = !m_address->text().trimmed().isEmpty();
    int chosen = 0;
    if (found.size() == 1) {
        if (typed && !m_prompter.ask_yes_no(QStringLiteral("郵便番号 %1 の住所は「%2%3」です。\n"
                                                           "今の住所「%4」をこの住所に置き換えますか？")
                                                .arg(found.first().code_text(), found.first().prefecture,
                                                     found.first().address(), shown_address())))
            return;
    } else {
        QStringList lines;
        for (const PostalEntry& e : found)
            lines << line_of(e);
        QString text = QStringLiteral("郵便番号 %1 には町域が %2 つあります。住所を選んでください。")
                           .arg(found.first().code_text())
                           .arg(found.size());
        if (typed)
            text += QStringLiteral("\n選んだ住所で今の住所「%1」を置き換えます。").arg(shown_address());
        chosen = m_prompter.choose_item(m_window, QStringLiteral("郵便番号から住所"), text, lines);
        if (chosen < 0 || chosen >= found.size())
            return;
    }
    set_address(found.at(chosen));
}

void PostalAddressEntry::find_code() {
    const PostalTable* t = table();
    if (!t)
        return;
    const QVector<PostalEntry> found =
        t->find_address(m_prefecture ? m_prefecture->text() : QString(), m_address->text());
    if (found.isEmpty()) {
        m_prompter.inform(QStringLiteral("住所「%1」に合う郵便番号が見つかりません。").arg(shown_address()));
        return;
    }
    int chosen = 0;
    if (found.size() > 1) {
        QStringList lines;
        for (const PostalEntry& e : found)
            lines << line_of(e);
        chosen = m_prompter.choose_item(
            m_window, QStringLiteral("住所から郵便番号"),
            QStringLiteral("住所に合う郵便番号が %1 つあります。選んでください。").arg(found.size()), lines);
        if (chosen < 0 || chosen >= found.size())
            return;
    }
    set_code(found.at(chosen).code);
    if (m_prefecture && m_prefecture->text().trimmed().isEmpty())
        m_prefecture->setText(found.at(chosen).prefecture);
}

PhoneNumberEntry::PhoneNumberEntry(const QVector<QLineEdit*>& boxes, QObject* parent) : QObject(parent) {
    for (QLineEdit* box : boxes) {
        QAction* mark = box->addAction(quiet_mark(), QLineEdit::TrailingPosition);
        mark->setObjectName(QStringLiteral("phoneMark"));
        mark->setToolTip(QStringLiteral("電話番号として確かめられない番号です（入力のまま保存します）"));
        mark->setVisible(false);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textEdited, this, [box] {
            box->setProperty(kEditedProperty, true);
            mark_of(box)->setVisible(false);  // no mark while the number is being typed
        });
        // A text set by the screen (a customer shown, the boxes emptied) is marked as it stands.
        connect(box, &QLineEdit::textChanged, this, [this, box] {
            if (!box->property(kEditedProperty).toBool())
                update_mark(box);
        });
    }
}

QAction* PhoneNumberEntry::mark_of(QLineEdit* box) {
    return box->findChild<QAction*>(QStringLiteral("phoneMark"), Qt::FindDirectChildrenOnly);
}

bool PhoneNumberEntry::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut)
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            left(box);
    return QObject::eventFilter(watched, event);
}

void PhoneNumberEntry::left(QLineEdit* box) {
    if (!box->property(kEditedProperty).toBool())
        return;
    const PhoneNumberText number = format_phone_number(box->text());
    if (number.text != box->text())
        box->setText(number.text);
    box->setProperty(kEditedProperty, false);
    mark_of(box)->setVisible(!number.valid);
}

void PhoneNumberEntry::update_mark(QLineEdit* box) {
    mark_of(box)->setVisible(!format_phone_number(box->text()).valid);
}
