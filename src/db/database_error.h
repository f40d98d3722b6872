#pragma once

#include <QString>
#include <stdexcept>

// A statement or connection the back-end refused. Carries the back-end's own message so that the
// window that catches it can show it as it stands.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
