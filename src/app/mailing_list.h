#pragma once

#include <QObject>
#include <QStringList>

// The broadcast list (mailing_list): customer names in order, a name may repeat. Screens that show it
// follow changed(), so what they show is always what a broadcast would mail.
class MailingList : public QObject {
    Q_OBJECT
public:
    const QStringList& names() const { return m_names; }
    operator const QStringList&() const { return m_names; }
    qsizetype size() const { return m_names.size(); }
    bool isEmpty() const { return m_names.isEmpty(); }

    MailingList& operator<<(const QString& name) {
        m_names << name;
        emit changed();
        return *this;
    }
    MailingList& operator=(const QStringList& names) {
        m_names = names;
        emit changed();
        return *this;
    }
    void clear() { *this = QStringList(); }
    bool operator==(const QStringList& names) const { return m_names == names; }

signals:
    void changed();

private:
    QStringList m_names;
};
