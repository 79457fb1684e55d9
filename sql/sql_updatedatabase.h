#ifndef SQL_UPDATEDATABASE_H
#define SQL_UPDATEDATABASE_H

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

// Opens a database file, gives a new file its schema and brings an older file
// up to DBVERSION, one step per earlier release, all in one transaction.
class SqlUpdateDatabase : public QObject
{
    Q_OBJECT

public:
    // One migration step: run when the file's version equals `from` exactly,
    // leaves the file at `to`.
    struct Step
    {
        QString from;
        QString to;
        QStringList statements;
    };

    explicit SqlUpdateDatabase(QObject *parent = nullptr);

    // Registers the connection under `path`, creates or migrates the schema
    // and stamps the version row. False after a failure, which error() then
    // tells the person: which file, why, and that it was left as it was.
    bool openAndUpdate(const QString &path);
    QString error() const { return m_error; }
    // The last call failed for a lock another program held on the file
    // beyond the lock wait: trying again later may succeed.
    bool isLocked() const { return m_locked; }
    // After a successful call, what the person is to be told of the file:
    // one they may not write, opened as it is with its choices in the form
    // an earlier release wrote. Empty otherwise.
    QString notice() const { return m_notice; }

    // The tables of the first release; a new file then runs every step.
    static const QStringList &baseSchema();
    // The chain, oldest first.
    static const QVector<Step> &steps();

signals:
    void sigShowMessage(const QString &message);

private:
    static QString unreadable(const QString &path, const QString &reason);
    static QString notUpdated(const QString &path, const QString &reason);

    QString m_error;
    QString m_notice;
    bool m_locked = false;
};

#endif
