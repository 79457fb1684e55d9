#include "sql/sql_importrun.h"

#include "app/app_regularfile.h"

namespace {

bool isNamed(const QString &file, const char *name)
{
    return file.endsWith(QLatin1String(name), Qt::CaseInsensitive);
}

} // namespace

SqlImportRun::SqlImportRun(
    const QString &destinationConnection, const QStringList &sourceFiles, bool preventDuplicates, QObject *parent)
    : QObject(parent), m_engine(destinationConnection)
{
    // An Access file is read by the reader before its first table is asked for.
    auto read = [this](const QString &file) {
        if (AppRegularFile::isRegular(file) && !SqlImportDb::isSqliteFile(file))
            m_steps.append({ file, QString(), nullptr });
    };
    auto work = [this](const QString &table, const std::function<void()> &step) {
        m_steps.append({ QString(), table, step });
    };
    for (const QString &file : sourceFiles) {
        if (isNamed(file, "VORNAKEL.INI")) {
            m_defaultsFiles << file;
            continue;
        }
        if (!isNamed(file, "PHYCONST.MDB"))
            continue;
        read(file);
        for (const QString &table : SqlImportDb::referenceTables())
            work(table, [this, file, table, preventDuplicates] {
                m_engine.beginReferenceTable(file, table, preventDuplicates);
            });
        work(QStringLiteral("BufferComponent"), [this] { m_engine.beginBufferComponents(); });
        for (const QString &records : sourceFiles) {
            if (!isNamed(records, "VORNAKEL.MDB"))
                continue;
            read(records);
            work(QStringLiteral("buffer"),
                [this, records, preventDuplicates] { m_engine.beginBufferTable(records, preventDuplicates); });
            work(QStringLiteral("sample"),
                [this, records, preventDuplicates] { m_engine.beginSampleTable(records, preventDuplicates); });
            work(QStringLiteral("experiment"),
                [this, records, preventDuplicates] { m_engine.beginExperimentTable(records, preventDuplicates); });
            work(QStringLiteral("AminoAcidCompositions"), [this, records, preventDuplicates] {
                m_engine.beginAminoAcidCompositionsTable(records, preventDuplicates);
            });
            break;
        }
        break;
    }
    connect(&m_engine, &SqlImportDb::sigReadEnded, this, [this]() {
        if (!m_waiting)
            return;
        m_waiting = false;
        emit sigProgress(++m_done, m_steps.size());
        QMetaObject::invokeMethod(this, &SqlImportRun::next, Qt::QueuedConnection);
    });
}

SqlImportRun::~SqlImportRun() = default;

void SqlImportRun::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopped = false;
    m_done = 0;
    m_endedAt = -1;
    // One import into a file at a time: two at once would both copy what
    // neither had flagged yet. The other one is told, and nothing is done.
    if (!m_engine.claimDestination()) {
        m_refused = true;
        QMetaObject::invokeMethod(this, &SqlImportRun::finish, Qt::QueuedConnection);
        return;
    }
    // What an import that died left unfinished goes first, as part of the first step.
    m_engine.beginTakingBackUnfinished();
    m_copying = m_engine.isCopying();
    emit sigProgress(0, m_steps.size());
    QMetaObject::invokeMethod(this, &SqlImportRun::next, Qt::QueuedConnection);
}

void SqlImportRun::stop()
{
    if (!m_running || m_stopped)
        return;
    m_stopped = true;
    // The reader's end brings the run to its end; otherwise the next turn
    // does, once a copy under way has taken back what it stored.
    if (m_waiting)
        m_engine.stopReading();
    if (m_copying)
        m_engine.abandon();
}

void SqlImportRun::next()
{
    if (!m_running)
        return;
    if (m_copying) {
        // A slice a turn, until the copy has ended.
        m_copying = m_engine.proceed();
        noteEnd();
        if (!m_copying && m_started)
            emit sigProgress(++m_done, m_steps.size());
        m_started = m_copying && m_started;
        QMetaObject::invokeMethod(this, &SqlImportRun::next, Qt::QueuedConnection);
        return;
    }
    // A file another program holds is not waited for table after table.
    if (m_stopped || m_done >= m_steps.size() || m_engine.destinationLocked()) {
        finish();
        return;
    }
    const Step step = m_steps.at(m_done);
    if (!step.reading.isEmpty() && m_engine.needsReading(step.reading)) {
        m_waiting = true;
        m_engine.startReading(step.reading);
        return;
    }
    if (step.work)
        step.work();
    noteEnd();
    m_copying = m_engine.isCopying();
    m_started = m_copying;
    if (m_stopped && m_copying)
        m_engine.abandon();
    if (!m_copying)
        emit sigProgress(++m_done, m_steps.size());
    // The next step on the next turn of the event loop, after what waits there.
    QMetaObject::invokeMethod(this, &SqlImportRun::next, Qt::QueuedConnection);
}

void SqlImportRun::noteEnd()
{
    // The step under way is the first not imported (the first step while
    // what an earlier import left is taken back, before it).
    if (m_endedAt < 0 && m_engine.destinationLocked())
        m_endedAt = m_done;
}

QStringList SqlImportRun::notImported() const
{
    QStringList tables;
    for (int i = qMax(0, m_endedAt); m_endedAt >= 0 && i < m_steps.size(); ++i)
        if (!m_steps.at(i).table.isEmpty())
            tables << m_steps.at(i).table;
    return tables;
}

void SqlImportRun::finish()
{
    m_running = false;
    m_engine.releaseDestination();
    emit sigFinished();
}
