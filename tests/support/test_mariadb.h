#ifndef TEST_MARIADB_H
#define TEST_MARIADB_H

#include <QSqlDatabase>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// A throwaway MariaDB server for the tests of the MySQL paths: a data folder
// made by mariadb-install-db in a temporary folder, and mariadbd listening
// only on a Unix socket in that folder (networking off), so that no system
// server, service or port is touched. A test program holds one, starts it when
// a test first needs it, and the server is stopped and its folder removed with
// the object. It holds the database "vornakel", reached as root without password.
class TestMariaDb
{
public:
    TestMariaDb();
    ~TestMariaDb();
    TestMariaDb(const TestMariaDb &) = delete;
    TestMariaDb &operator=(const TestMariaDb &) = delete;

    // Starts the server unless it runs (making its data folder the first
    // time) and waits until it takes connections; false, with log() saying
    // why, when it cannot.
    bool start();
    // Stops the server; its data stays for the next start.
    void stop();
    bool isRunning() const;

    // What the install tool printed and the end of the server's error log.
    QString log() const;

    // Adds and opens a QMYSQL connection to the database "vornakel" under that
    // name; an invalid connection when the server does not run.
    QSqlDatabase addConnection(const QString &connectionName) const;
    QString socketPath() const;

private:
    bool install();
    bool waitUntilReady();

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    bool m_installed = false;
    QString m_installLog;
    QString m_failure;
};

#endif
