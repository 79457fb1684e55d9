#include "test_database.h"

#include "sql/sql_referencedata.h"
#include "sql/sql_transaction.h"
#include "sql/sql_updatedatabase.h"

#include <QDebug>
#include <QFile>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

TestDatabase::TestDatabase(const QString &fileName) : TestDatabase(Contents::Schema, fileName) { }

TestDatabase::TestDatabase(Contents contents, const QString &fileName) : m_path(m_files.path(fileName))
{
    QString error;
    m_ok = contents == Contents::None
        || (!createCurrent(m_path).isEmpty()
            && (contents == Contents::Schema
                || SqlReferenceData::load(m_path, SqlReferenceData::shippedFolder(testSourceDir()), &error)));
    if (!error.isEmpty())
        qWarning() << "TestDatabase:" << error;
}

TestDatabase::~TestDatabase()
{
    removeConnection(m_path);
}

QSqlDatabase TestDatabase::database() const
{
    return QSqlDatabase::database(m_path);
}

static bool runQuery(QSqlQuery &query, const QString &sql, const QVariantMap &values)
{
    if (!query.prepare(sql)) {
        qWarning() << "TestDatabase:" << sql << query.lastError().text();
        return false;
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        query.bindValue(it.key().startsWith(QLatin1Char(':')) ? it.key() : QLatin1Char(':') + it.key(), it.value());
    if (!query.exec()) {
        qWarning() << "TestDatabase:" << sql << query.lastError().text();
        return false;
    }
    return true;
}

bool TestDatabase::exec(const QString &sql, const QVariantMap &values) const
{
    QSqlQuery query(database());
    return runQuery(query, sql, values);
}

QVariant TestDatabase::value(const QString &sql, const QVariantMap &values) const
{
    QSqlQuery query(database());
    if (!runQuery(query, sql, values) || !query.next())
        return QVariant();
    return query.value(0);
}

QString TestDatabase::createCurrent(const QString &path)
{
    SqlUpdateDatabase update;
    return update.openAndUpdate(path) ? path : QString();
}

QStringList TestDatabase::revisions()
{
    QStringList names;
    for (const SqlUpdateDatabase::Step &step : SqlUpdateDatabase::steps()) {
        if (names.isEmpty())
            names << step.from;
        names << step.to;
    }
    return names;
}

bool TestDatabase::createAtRevision(const QString &path, const QString &version)
{
    if (!revisions().contains(version))
        return false;
    const QString name = QStringLiteral("TestDatabase-revision:") + path;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        QStringList statements = SqlUpdateDatabase::baseSchema();
        statements << QStringLiteral("INSERT INTO version (databaseVersion) VALUES (NULL)");
        QString reached = SqlUpdateDatabase::steps().first().from;
        for (const SqlUpdateDatabase::Step &step : SqlUpdateDatabase::steps()) {
            if (reached == version)
                break;
            statements << step.statements;
            reached = step.to;
        }
        for (const QString &statement : statements) {
            if (!ok)
                break;
            ok = query.exec(statement);
            if (!ok)
                qWarning() << "TestDatabase:" << statement << query.lastError().text();
        }
        if (ok)
            ok = runQuery(query, QStringLiteral("UPDATE version SET databaseVersion = :version"),
                { { QStringLiteral("version"), version } });
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void TestDatabase::removeConnection(const QString &connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

QVector<TestFormatChoice> testFormatChoices()
{
    return { { "experiment.calculatedBy", "qtExactMolecularWeight", "exact" },
        { "experiment.calculatedBy", "qtFromSigma", "sigma" },
        { "experiment.calculatedBy", "qtFromComposition", "composition" }, { "results.method", "qtVbarMethod", "vbar" },
        { "results.method", "qtTellerMethod", "teller" }, { "results.options", "qtHydrateNothing", "none" },
        { "results.options", "qtHydrateProlate", "prolate" }, { "results.options", "qtHydrateOblate", "oblate" },
        { "results.options", "qtHydrateComputed", "computed" }, { "results.options", "qtHydrateDelta1", "delta1" },
        { "results.shape", "qtShapeProlate", "prolate" }, { "results.shape", "qtShapeOblate", "oblate" },
        { "results.shape", "qtShapeCylinder", "cylinder" } };
}

TestOtherProgram::TestOtherProgram(const QString &path, const QString &connectOptions)
    : m_name(QStringLiteral("test-other-program-%1").arg(quintptr(this)))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(connectOptions);
    if (!db.open())
        qWarning() << "TestOtherProgram:" << path << db.lastError().text();
}

TestOtherProgram::~TestOtherProgram()
{
    database().close();
    QSqlDatabase::removeDatabase(m_name);
}

TestLockHolder::TestLockHolder(const QString &path, Hold hold)
    : m_program(path, QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"))
{
    QSqlQuery begin(m_program.database());
    const QString begins = hold == Hold::Everything ? QStringLiteral("BEGIN EXCLUSIVE")
        : hold == Hold::Writes                      ? QStringLiteral("BEGIN IMMEDIATE")
                                                    : QStringLiteral("BEGIN");
    m_holding = m_program.isOpen() && begin.exec(begins);
    // A transaction that has read keeps its hold on the file until it ends.
    if (m_holding && hold == Hold::Reads) {
        m_holding = begin.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && begin.next();
        begin.finish();
    }
    if (!m_holding)
        qWarning() << "TestLockHolder:" << path << begin.lastError().text();
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (++m_ticks < m_releaseAt)
            return;
        m_letGoOnATick = m_holding;
        release();
    });
}

TestLockHolder::~TestLockHolder()
{
    release();
}

void TestLockHolder::releaseAfterTicks(int ticks)
{
    m_ticks = 0;
    m_releaseAt = ticks;
    m_timer.start();
}

void TestLockHolder::meetTheWait(bool letGo)
{
    QSettings().setValue(QLatin1String(SqlTransaction::lockWaitKey), letGo ? 600 : 0);
    if (letGo)
        releaseAfterTicks(5);
}

void TestLockHolder::release()
{
    m_timer.stop();
    if (!m_holding)
        return;
    m_holding = false;
    QSqlQuery(m_program.database()).exec(QStringLiteral("ROLLBACK"));
}

bool TestDatabase::writeHotJournal(
    const QString &path, const QStringList &changes, const QStringList &later, const QString &journal)
{
    const QString copy = path + QStringLiteral(".hot-copy");
    const QString name = QStringLiteral("test-hot-journal");
    bool ok = QFile::copy(path, copy);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(copy);
        QSqlQuery query(db);
        ok = ok && db.open();
        for (const QString &change : changes)
            ok = ok && runQuery(query, change, {});
        // Unsynced, the journal is whole from its first page: its header
        // counts its pages by its length.
        ok = ok && runQuery(query, QStringLiteral("PRAGMA synchronous = OFF"), {})
            && runQuery(query, QStringLiteral("BEGIN IMMEDIATE"), {});
        for (const QString &change : later)
            ok = ok && runQuery(query, change, {});
        // Written in place, as SQLite leaves it: its last change is the last write.
        QFile::remove(journal);
        const QByteArray bytes = testReadFile(copy + QStringLiteral("-journal"));
        ok = ok && bytes.size() > 512 && testWriteFile(journal, bytes);
        runQuery(query, QStringLiteral("ROLLBACK"), {});
    }
    QSqlDatabase::removeDatabase(name);
    QFile::remove(copy);
    return ok;
}

bool TestDatabase::damagePageHolding(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 100)
        return false;
    // The page size, big-endian at offset 16; 1 stands for 65536.
    const int size = (uchar(bytes.at(16)) << 8 | uchar(bytes.at(17))) == 1
        ? 65536
        : uchar(bytes.at(16)) << 8 | uchar(bytes.at(17));
    const int at = bytes.indexOf(text, 2 * size);
    if (size < 512 || at < 0)
        return false;
    // Its first byte says what kind of page it is: 0xff is none.
    return file.seek(qint64(at / size) * size) && file.write(QByteArray(8, '\xff')) == 8 && file.flush();
}

TestLockWaits::TestLockWaits(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    auto *connection = *static_cast<sqlite3 *const *>(handle.constData());
    QSqlQuery brief(db);
    if (!connection || !brief.exec(QStringLiteral("PRAGMA busy_timeout")) || !brief.next())
        return;
    m_briefWaitMs = brief.value(0).toInt();
    brief.finish();
    m_handle = connection;
    sqlite3_busy_handler(connection, &TestLockWaits::onWait, this);
    m_turns.setInterval(0);
    connect(&m_turns, &QTimer::timeout, this, [this] { ++m_turn; });
    m_turns.start();
}

TestLockWaits::~TestLockWaits()
{
    if (m_handle)
        sqlite3_busy_timeout(static_cast<sqlite3 *>(m_handle), m_briefWaitMs);
}

int TestLockWaits::onWait(void *self, int tries)
{
    auto *waits = static_cast<TestLockWaits *>(self);
    if (tries == 0) {
        if (waits->m_waits++ > 0 && waits->m_lastWaitTurn == waits->m_turn)
            ++waits->m_inOneTurn;
        waits->m_lastWaitTurn = waits->m_turn;
    }
    return 0;
}
