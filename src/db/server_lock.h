#pragma once

#include <QString>

class Database;

// A lock of the MySQL/MariaDB server, named after the database, that keeps PCs apart where a
// transaction cannot: before DDL (committed statement by statement), or around a look-up and the
// insert that depends on it when no row exists yet to lock. The connection holds it until the
// object goes; on the other back-ends it does nothing (an embedded file has one writer at a time).
class ServerLock {
public:
    // Waits up to seconds for the lock; throws a DatabaseError with busy_message when it stays taken.
    ServerLock(Database& db, const QString& name, int seconds, const QString& busy_message);
    ~ServerLock();
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

private:
    Database& m_db;
    QString m_name;  // the SQL expression of the lock's name; empty when none is held
};
