#pragma once

#include <QObject>
#include <QVector>

#include "address/postal_table.h"

class Prompter;
class QAction;
class QLineEdit;
class QPushButton;
class QWidget;

// The postal boxes of a screen working with its address: seven digits typed into 郵便番号1 or
// 郵便番号2 (either box, with or without a hyphen, full width too) fill 都道府県 and the start of 住所
// (市区町村 + 町域). An address already typed is not overwritten without asking; a code with several
// towns offers the choice; an unknown code is said and changes nothing. The button (and F4 on the
// window) does the same for the code typed, or, with no code, finds the code of the address.
// prefecture may be nullptr (the company screen): 住所 then starts with the prefecture.
class PostalAddressEntry : public QObject {
    Q_OBJECT
public:
    PostalAddressEntry(QLineEdit* code1, QLineEdit* code2, QLineEdit* prefecture, QLineEdit* address,
                       Prompter& prompter, QWidget* window);

    // "〒⇔住所" (object name postalSearch), for the screen's layout.
    QPushButton* button() const { return m_button; }
    // What the button and F4 do.
    void look_up();

private:
    void code_edited(QLineEdit* box);
    void fill_from_code(const QString& code);
    void find_code();
    // True when the boxes already hold this entry's address (a 番地 may follow).
    bool holds(const PostalEntry& entry) const;
    void set_address(const PostalEntry& entry);
    void set_code(const QString& code);
    QString shown_address() const;
    QString line_of(const PostalEntry& entry) const;
    const PostalTable* table();

    QLineEdit* m_code1;
    QLineEdit* m_code2;
    QLineEdit* m_prefecture;
    QLineEdit* m_address;
    Prompter& m_prompter;
    QWidget* m_window;
    QPushButton* m_button;
};

// The phone boxes (TEL, FAX, 携帯): a number the user typed is put in the Japanese grouping when the
// user leaves the box; a number the phone library does not know stays as typed, with a quiet mark in
// the box (an action named phoneMark, shown only then).
class PhoneNumberEntry : public QObject {
    Q_OBJECT
public:
    PhoneNumberEntry(const QVector<QLineEdit*>& boxes, QObject* parent);

    // The mark of a box (for tests and the screens' own checks).
    static QAction* mark_of(QLineEdit* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void left(QLineEdit* box);
    void update_mark(QLineEdit* box);
};
