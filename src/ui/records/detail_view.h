#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// "詳細" (detailfrm): one value of the record list's edit boxes in a large box.
class DetailView : public QWidget {
    Q_OBJECT
public:
    explicit DetailView(QWidget* parent = nullptr);

    // Shows the value of edit box `position` under the field name.
    void edit(const QString& field_name, int position, const QString& value);

signals:
    // "戻る": the text goes back into the box it came from.
    void returned(int position, const QString& text);

private:
    QLabel* m_label1;
    QLabel* m_label2;
    QPlainTextEdit* m_text1;
};
