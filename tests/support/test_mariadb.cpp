#include "test_mariadb.h"
#include "test_environment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace {

const char *const kProbe = "vornakel_mariadb_probe";

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(name, { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin") });
}

// The server refuses to run as root unless told so.
QStringList userArguments()
{
    return ::geteuid() == 0 ? QStringList { QStringLiteral("--user=root") } : QStringList();
}

// The server's files, its temporary ones too, in the test's own folder: the
// temporary folder of the system may be shared with servers of other process
// namespaces, whose temporary tables are named after process ids like ours.
QStringList folderArguments(const QString &folder)
{
    QDir(folder).mkpath(QStringLiteral("tmp"));
    return { QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + folder + QStringLiteral("/data"),
        QStringLiteral("--tmpdir=") + folder + QStringLiteral("/tmp") };
}

} // namespace

TestMariaDb::TestMariaDb() = default;

TestMariaDb::~TestMariaDb()
{
    stop();
}

QString TestMariaDb::socketPath() const
{
    return m_dir.filePath(QStringLiteral("mariadbd.sock"));
}

bool TestMariaDb::isRunning() const
{
    return m_server && m_server->state() == QProcess::Running;
}

bool TestMariaDb::install()
{
    if (m_installed)
        return true;
    const QString tool = findProgram(QStringLiteral("mariadb-install-db"));
    if (tool.isEmpty()) {
        m_failure = QStringLiteral("mariadb-install-db not found (package mariadb-server-core)");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool,
        folderArguments(m_dir.path())
            + QStringList { QStringLiteral("--auth-root-authentication-method=normal"),
                QStringLiteral("--skip-test-db"), QStringLiteral("--skip-name-resolve") }
            + userArguments());
    const bool finished = process.waitForFinished(3 * testPatienceMs());
    m_installLog = QString::fromLocal8Bit(process.readAll());
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_failure = QStringLiteral("mariadb-install-db failed");
        return false;
    }
    m_installed = true;
    return true;
}

bool TestMariaDb::start()
{
    if (isRunning())
        return true;
    m_failure.clear();
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("no temporary folder");
        return false;
    }
    if (!install())
        return false;
    const QString server = findProgram(QStringLiteral("mariadbd"));
    if (server.isEmpty()) {
        m_failure = QStringLiteral("mariadbd not found (package mariadb-server-core)");
        return false;
    }
    m_server.reset(new QProcess);
    m_server->setStandardOutputFile(QProcess::nullDevice());
    m_server->setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.log")));
    m_server->start(server,
        folderArguments(m_dir.path())
            + QStringList { QStringLiteral("--socket=") + socketPath(), QStringLiteral("--skip-networking"),
                QStringLiteral("--pid-file=") + m_dir.filePath(QStringLiteral("mariadbd.pid")),
                QStringLiteral("--log-error=") + m_dir.filePath(QStringLiteral("error.log")),
                QStringLiteral("--skip-log-bin"), QStringLiteral("--innodb-buffer-pool-size=16M") }
            + userArguments());
    if (!m_server->waitForStarted(testPatienceMs())) {
        m_failure = QStringLiteral("mariadbd did not start: ") + m_server->errorString();
        m_server.reset();
        return false;
    }
    if (!waitUntilReady()) {
        stop();
        return false;
    }
    return true;
}

bool TestMariaDb::waitUntilReady()
{
    const QDeadlineTimer deadline(2 * testPatienceMs());
    while (!deadline.hasExpired()) {
        if (m_server->state() != QProcess::Running) {
            m_failure = QStringLiteral("mariadbd ended with exit code %1").arg(m_server->exitCode());
            return false;
        }
        if (QFile::exists(socketPath())) {
            bool ready = false;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QLatin1String(kProbe));
                db.setUserName(QStringLiteral("root"));
                db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + socketPath());
                if (db.open()) {
                    QSqlQuery q(db);
                    ready = q.exec(QStringLiteral("CREATE DATABASE IF NOT EXISTS vornakel CHARACTER SET utf8mb4"));
                    if (!ready)
                        m_failure = QStringLiteral("could not create the database: ") + q.lastError().text();
                    db.close();
                }
            }
            QSqlDatabase::removeDatabase(QLatin1String(kProbe));
            if (ready)
                return true;
        }
        QThread::msleep(200);
    }
    m_failure = QStringLiteral("mariadbd did not take connections within %1 s").arg(2 * testPatienceMs() / 1000);
    return false;
}

void TestMariaDb::stop()
{
    if (!m_server)
        return;
    if (m_server->state() != QProcess::NotRunning) {
        m_server->terminate();
        if (!m_server->waitForFinished(testPatienceMs())) {
            m_server->kill();
            m_server->waitForFinished(testPatienceMs());
        }
    }
    m_server.reset();
}

QString TestMariaDb::log() const
{
    QString text = QStringLiteral("MariaDB test server: ") + m_failure + QLatin1Char('\n') + m_installLog;
    for (const QString &name : { QStringLiteral("error.log"), QStringLiteral("stderr.log") }) {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            text += QStringLiteral("--- ") + name + QLatin1Char('\n') + QString::fromLocal8Bit(bytes.right(8000));
        }
    }
    return text;
}

QSqlDatabase TestMariaDb::addConnection(const QString &connectionName) const
{
    if (!isRunning())
        return QSqlDatabase();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName);
    db.setDatabaseName(QStringLiteral("vornakel"));
    db.setUserName(QStringLiteral("root"));
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + socketPath());
    db.open();
    return db;
}
