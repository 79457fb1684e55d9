#include "sql/sql_importbatch.h"

#include "sql/sql_read.h"
#include "sql/sql_transaction.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

const char *const journalTable = "importUnfinished";
// The import under way into the file, one at a time: there only while one runs.
const char *const claimTable = "importRunning";
// Rows taken back by one statement: a slice checks its clock between them.
const qint64 rowsPerDelete = 2000;

// This process as no other, even one that later gets its number: its
// number and the time it started, in the system's ticks since boot.
QString processMark(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray line = stat.readAll();
    // The command's name, in parentheses, may hold blanks; the fields after it do not.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // The start time is the 22nd field, the 20th after the name.
    return fields.size() > 19 ? QStringLiteral("%1:%2").arg(pid).arg(QString::fromLatin1(fields.at(19))) : QString();
}

QString ownMark()
{
    static const QString mark = processMark(qint64(::getpid()));
    return mark;
}

// Whether the process that wrote the mark still runs; a mark that cannot be
// read counts as running, since its rows may be another's.
bool stillRuns(const QString &mark)
{
    bool ok = false;
    const qint64 pid = mark.section(QLatin1Char(':'), 0, 0).toLongLong(&ok);
    if (!ok || pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    const QString now = processMark(pid);
    return now.isEmpty() || now == mark;
}

// The copies and the claims of this process that are under way: those of
// this process that are not are leftovers, as those of a program that died.
QSet<qint64> &liveCopies()
{
    static QSet<qint64> copies;
    return copies;
}

QSet<qint64> &liveClaims()
{
    static QSet<qint64> claims;
    return claims;
}

// Whether the copy or claim `id`, noted by the process `mark`, is under way.
bool isUnderWay(const QString &mark, qint64 id, const QSet<qint64> &ownLive)
{
    return mark == ownMark() ? ownLive.contains(id) : stillRuns(mark);
}

// A table of the import's own goes with its last row; a statement still
// reading on the connection may keep it a while, empty, which is harmless.
void dropWhenEmpty(const QSqlDatabase &db, const char *table)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(QLatin1String(table))) && !query.next()) {
        query.finish();
        query.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
    }
}

qint64 lastRowid(const QSqlDatabase &db, const QString &table, QString *error)
{
    QSqlQuery query(db);
    QVariant last;
    if (!SqlRead::value(query, &last, error,
            QStringLiteral("SELECT MAX(rowid) FROM %1")
                .arg(db.driver()->escapeIdentifier(table, QSqlDriver::TableName))))
        return -1;
    return last.toLongLong();
}

} // namespace

SqlImportBatch::SqlImportBatch(const QSqlDatabase &db, const QStringList &tables, qint64 sliceNs)
    : m_db(db), m_tables(tables), m_copy(qint64(QRandomGenerator::global()->generate64() >> 2)), m_sliceNs(sliceNs)
{
    liveCopies().insert(m_copy);
}

qint64 SqlImportBatch::configuredSliceNs()
{
    bool ok = false;
    const qint64 ms = QSettings().value(QLatin1String(sliceTimeKey), 30).toLongLong(&ok);
    return ok && ms >= 0 ? ms * 1000 * 1000 : 30 * 1000 * 1000;
}

SqlImportBatch::~SqlImportBatch()
{
    // What it could not take back is now a leftover for the next import.
    liveCopies().remove(m_copy);
}

bool SqlImportBatch::isOpen() const
{
    return m_transaction && m_transaction->isOpen();
}

bool SqlImportBatch::begin()
{
    m_clock.start();
    m_transaction = std::make_unique<SqlTransaction>(m_db);
    if (!m_transaction->isOpen()) {
        m_driverText = m_transaction->driverText();
        return false;
    }
    return readEnds(&m_ends);
}

bool SqlImportBatch::readEnds(QHash<QString, qint64> *ends)
{
    for (const QString &table : qAsConst(m_tables)) {
        QString error;
        const qint64 end = lastRowid(m_db, table, &error);
        if (end < 0) {
            rollback(error);
            return false;
        }
        ends->insert(table, end);
    }
    return true;
}

bool SqlImportBatch::commit(bool last)
{
    if (!isOpen())
        return false;
    QSqlQuery query(m_db);
    bool noted = m_noted;
    qint64 added = 0;
    if (!last) {
        // What this slice added, noted in its own transaction.
        if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (copy INTEGER NOT NULL, owner TEXT, "
                                       "tableName TEXT NOT NULL, firstId INTEGER NOT NULL, lastId INTEGER NOT NULL)")
                            .arg(QLatin1String(journalTable)))) {
            rollback(query.lastError().text());
            return false;
        }
        QHash<QString, qint64> ends;
        if (!readEnds(&ends))
            return false;
        for (const QString &table : qAsConst(m_tables)) {
            const qint64 end = ends.value(table);
            if (end <= m_ends.value(table))
                continue;
            added += end - m_ends.value(table);
            query.prepare(QStringLiteral("INSERT INTO %1 (copy, owner, tableName, firstId, lastId) VALUES (:copy, "
                                         ":owner, :table, :first, :last)")
                              .arg(QLatin1String(journalTable)));
            query.bindValue(QStringLiteral(":copy"), m_copy);
            query.bindValue(QStringLiteral(":owner"), ownMark());
            query.bindValue(QStringLiteral(":table"), table);
            query.bindValue(QStringLiteral(":first"), m_ends.value(table) + 1);
            query.bindValue(QStringLiteral(":last"), end);
            if (!query.exec()) {
                rollback(query.lastError().text());
                return false;
            }
            noted = true;
        }
    } else if (m_noted) {
        // The copy is whole: its notes go with its last rows.
        query.prepare(QStringLiteral("DELETE FROM %1 WHERE copy = :copy").arg(QLatin1String(journalTable)));
        query.bindValue(QStringLiteral(":copy"), m_copy);
        if (!query.exec()) {
            rollback(query.lastError().text());
            return false;
        }
        dropWhenEmpty(m_db, journalTable);
        noted = false;
    }
    query.finish();
    if (!m_transaction->commit()) {
        m_driverText = m_transaction->driverText();
        return false;
    }
    m_noted = noted;
    m_storedRows = noted ? m_storedRows + added : 0;
    return true;
}

void SqlImportBatch::rollback(const QString &why)
{
    m_driverText = why;
    if (isOpen())
        m_transaction->fail(why);
}

bool SqlImportBatch::takeBack()
{
    if (!m_noted)
        return false;
    QList<qint64> copies { m_copy };
    QHash<QString, qint64> removed;
    const bool more = takeBack(m_db, m_tables, m_sliceNs, &copies, &removed, &m_driverText);
    // Rows that could not be taken back are still stored.
    m_noted = more || !m_driverText.isEmpty();
    for (const qint64 rows : qAsConst(removed))
        m_storedRows -= rows;
    if (!m_noted)
        m_storedRows = 0;
    return more;
}

bool SqlImportBatch::unfinishedCopies(const QSqlDatabase &db, QList<qint64> *copies, QString *error)
{
    copies->clear();
    bool noted = false;
    if (!SqlRead::hasTable(db, QLatin1String(journalTable), &noted, error))
        return false;
    if (!noted)
        return true;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    return SqlRead::rows(
        query,
        [copies](const QSqlQuery &row) {
            const qint64 copy = row.value(0).toLongLong();
            if (!isUnderWay(row.value(1).toString(), copy, liveCopies()) && !copies->contains(copy))
                copies->append(copy);
        },
        error, QStringLiteral("SELECT DISTINCT copy, owner FROM %1").arg(QLatin1String(journalTable)));
}

bool SqlImportBatch::takeBack(const QSqlDatabase &db, const QStringList &tables, qint64 sliceNs, QList<qint64> *copies,
    QHash<QString, qint64> *removed, QString *driverText)
{
    QElapsedTimer clock;
    clock.start();
    driverText->clear();
    bool noted = false;
    if (!copies->isEmpty() && !SqlRead::hasTable(db, QLatin1String(journalTable), &noted, driverText))
        return false;
    if (!noted) {
        copies->clear();
        return false;
    }
    // Each step is a transaction of its own, so that what it journals stays
    // small: on a full disk, where the failed write left little room, the
    // rows are still taken back, fewer at a time.
    qint64 rows = rowsPerDelete;
    for (bool once = true; !copies->isEmpty() && (once || clock.nsecsElapsed() <= sliceNs);) {
        if (takeBackStep(db, tables, copies, removed, rows, driverText)) {
            once = false;
            continue;
        }
        if (!SqlTransaction::isFull(*driverText) || rows == 1)
            return false;
        rows = qMax<qint64>(1, rows / 8);
        driverText->clear();
    }
    if (copies->isEmpty())
        dropWhenEmpty(db, journalTable);
    return !copies->isEmpty();
}

bool SqlImportBatch::takeBackStep(const QSqlDatabase &db, const QStringList &tables, QList<qint64> *copies,
    QHash<QString, qint64> *removed, qint64 rows, QString *driverText)
{
    SqlTransaction transaction(db);
    if (!transaction.isOpen()) {
        *driverText = transaction.driverText();
        return false;
    }
    QSqlQuery notes(db);
    notes.prepare(QStringLiteral("SELECT rowid, tableName, firstId, lastId FROM %1 WHERE copy = :copy LIMIT 1")
                      .arg(QLatin1String(journalTable)));
    notes.bindValue(QStringLiteral(":copy"), copies->first());
    QVariantList found;
    if (!SqlRead::firstRow(notes, &found, driverText))
        return transaction.fail(*driverText);
    if (found.isEmpty()) {
        copies->removeFirst();
        return true;
    }
    const qint64 note = found.at(0).toLongLong();
    const QString table = found.at(1).toString();
    const qint64 first = found.at(2).toLongLong();
    const qint64 last = found.at(3).toLongLong();
    const qint64 to = qMin(last, first + rows - 1);
    QSqlQuery change(db);
    qint64 deleted = 0;
    // Only the import's own tables: the notes are read from the file.
    if (tables.contains(table) && first <= to) {
        if (!change.exec(QStringLiteral("DELETE FROM %1 WHERE rowid BETWEEN %2 AND %3")
                             .arg(db.driver()->escapeIdentifier(table, QSqlDriver::TableName))
                             .arg(first)
                             .arg(to))) {
            *driverText = change.lastError().text();
            return transaction.fail(change);
        }
        deleted = change.numRowsAffected();
    }
    const bool done = to >= last || !tables.contains(table) || first > to;
    change.prepare(done
            ? QStringLiteral("DELETE FROM %1 WHERE rowid = :note").arg(QLatin1String(journalTable))
            : QStringLiteral("UPDATE %1 SET firstId = :first WHERE rowid = :note").arg(QLatin1String(journalTable)));
    change.bindValue(QStringLiteral(":note"), note);
    if (!done)
        change.bindValue(QStringLiteral(":first"), to + 1);
    if (!change.exec()) {
        *driverText = change.lastError().text();
        return transaction.fail(change);
    }
    change.finish();
    if (!transaction.commit()) {
        *driverText = transaction.driverText();
        return false;
    }
    if (removed)
        (*removed)[table] += deleted;
    return true;
}

bool SqlImportBatch::claim(const QSqlDatabase &db, qint64 *claim, QString *refusal)
{
    // Noted in the file itself, so that an import of another program finds it.
    SqlTransaction transaction(db);
    if (!transaction.isOpen()) {
        *refusal = transaction.error();
        return false;
    }
    QSqlQuery query(db);
    auto failed = [&]() {
        *refusal = SqlTransaction::report(db, query.lastError().text());
        return transaction.fail(query);
    };
    if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (claim INTEGER NOT NULL, owner TEXT)")
                        .arg(QLatin1String(claimTable))))
        return failed();
    bool underWay = false;
    QString error;
    if (!SqlRead::rows(
            query,
            [&underWay](const QSqlQuery &row) {
                underWay = underWay || isUnderWay(row.value(1).toString(), row.value(0).toLongLong(), liveClaims());
            },
            &error, QStringLiteral("SELECT claim, owner FROM %1").arg(QLatin1String(claimTable))))
        return failed();
    if (underWay) {
        *refusal = QStringLiteral("%1:\nAnother import into this database file is under way (in this or another "
                                  "program); import once it has ended.")
                       .arg(QDir::toNativeSeparators(db.databaseName()));
        transaction.fail(*refusal);
        return false;
    }
    // None is under way: each claim there is that of an import whose program died, and goes.
    if (!query.exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(claimTable))))
        return failed();
    const qint64 own = qint64(QRandomGenerator::global()->generate64() >> 2);
    query.prepare(
        QStringLiteral("INSERT INTO %1 (claim, owner) VALUES (:claim, :owner)").arg(QLatin1String(claimTable)));
    query.bindValue(QStringLiteral(":claim"), own);
    query.bindValue(QStringLiteral(":owner"), ownMark());
    if (!query.exec())
        return failed();
    query.finish();
    if (!transaction.commit()) {
        *refusal = transaction.error();
        return false;
    }
    liveClaims().insert(own);
    *claim = own;
    return true;
}

void SqlImportBatch::release(const QSqlDatabase &db, qint64 claim)
{
    // A claim that stays in the file (it could not be written) is a leftover
    // as soon as it is no longer live, and the next import removes it.
    liveClaims().remove(claim);
    SqlTransaction transaction(db);
    if (!transaction.isOpen())
        return;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE claim = :claim").arg(QLatin1String(claimTable)));
    query.bindValue(QStringLiteral(":claim"), claim);
    if (!query.exec()) {
        transaction.fail(query);
        return;
    }
    query.finish();
    dropWhenEmpty(db, claimTable);
    transaction.commit();
}
