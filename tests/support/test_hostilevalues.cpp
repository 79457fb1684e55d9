#include "test_hostilevalues.h"
#include "test_log.h"

#include <QScriptEngine>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <limits>

namespace TestHostileValues {

namespace {

const char *const kBreakout = " OR 1=1 --";

// :v is the hostile value; :b, bound after it, lands outside the literal when
// the value opens one.
QStringList statements(const QString &table)
{
    QStringList list {
        QStringLiteral("INSERT INTO %1 (name, k, v) VALUES ('new', 3, :v)"),
        QStringLiteral("SELECT id, v FROM %1 WHERE v = :v ORDER BY id"),
        QStringLiteral("UPDATE %1 SET name = :v WHERE k = 1"),
        QStringLiteral("DELETE FROM %1 WHERE name = :v AND k <> :b"),
    };
    for (QString &sql : list)
        sql = sql.arg(table);
    return list;
}

bool isMySql(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QMYSQL");
}

QScriptValue unsigned64(QScriptContext *context, QScriptEngine *engine)
{
    return engine->newVariant(QVariant(context->argument(0).toString().toULongLong()));
}

} // namespace

QList<Case> cases(const QString &driverName)
{
    const bool mySql = driverName == QLatin1String("QMYSQL");
    const bool odbc = driverName == QLatin1String("QODBC");
    const QChar replacement(QChar::ReplacementCharacter);
    // The ODBC SQLite driver takes minutes over a megabyte of statement text.
    const int length = odbc ? 1 << 15 : 1 << 20;
    QString longText;
    for (int i = 1; i < length; ++i)
        longText += QLatin1String("x'");
    QList<Case> list {
        { "quote", "\"O'Brien\"", QStringLiteral("O'Brien") },
        { "backslash before a quote", "\"a\\\\' OR 1=1 --\"", QStringLiteral("a\\' OR 1=1 --") },
        { "backslash at the end", "'a\\\\'", QStringLiteral("a\\") },
        { "line comment", "\"x' -- \"", QStringLiteral("x' -- ") },
        { "block comment", "'/* x'", QStringLiteral("/* x") },
        { "hash comment", "\"x' # \"", QStringLiteral("x' # ") },
        { "another placeholder", "':b'", QStringLiteral(":b") },
        { "question mark", "'?'", QStringLiteral("?") },
        { "nul", "'a\\u0000b'", QString(QStringLiteral("a") + QChar(QChar::Null) + QStringLiteral("b")) },
        { "lone high surrogate", "'x\\ud800'", QString(QStringLiteral("x") + replacement) },
        { "lone low surrogate", "'\\udc00y'", QString(replacement + QStringLiteral("y")) },
        { "null", "null", QVariant() },
        { "undefined", "undefined", QVariant() },
        // Where the driver's binding is no reference: the MySQL driver refuses
        // a NaN (it is stored as NULL), the ODBC SQLite driver stores 2^64-1 as -1.
        { "NaN", "NaN", mySql ? QVariant() : QVariant(std::numeric_limits<double>::quiet_NaN()) },
        { "2^64-1", "u64('18446744073709551615')",
            odbc ? QVariant(QStringLiteral("18446744073709551615")) : QVariant(std::numeric_limits<quint64>::max()) },
        { "long text", QStringLiteral("new Array(%1).join(\"x'\")").arg(length), longText },
        // Numbers keep every digit. A script's number is a double; one without a
        // fraction is written, and so stored, as an integer.
        { "16 digits", "1234567890123456", QVariant(Q_INT64_C(1234567890123456)) },
        { "a third", "1/3", QVariant(1.0 / 3) },
    };
    // MySQL stores no infinities, and the Qt MySQL driver talks three-byte
    // UTF-8 to the server, which refuses characters beyond U+FFFF whichever
    // way they are sent.
    if (!mySql) {
        list.append({ "surrogate pair", "'\\ud83d\\ude00'", QString::fromUtf8("\xF0\x9F\x98\x80") });
        list.append({ "+Infinity", "Infinity", QVariant(std::numeric_limits<double>::infinity()) });
        list.append({ "-Infinity", "-Infinity", QVariant(-std::numeric_limits<double>::infinity()) });
    }
    return list;
}

bool createTables(QSqlDatabase db)
{
    for (const QString &table : { QStringLiteral("e"), QStringLiteral("d") }) {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP TABLE IF EXISTS ") + table);
        // The value column takes what it is given: no type on SQLite, text
        // compared byte for byte on MySQL.
        const QString create = isMySql(db)
            ? QStringLiteral("CREATE TABLE %1 (id INT AUTO_INCREMENT PRIMARY KEY, name LONGTEXT, k INT, v LONGTEXT)"
                             " CHARACTER SET utf8mb4 COLLATE utf8mb4_bin")
            : QStringLiteral("CREATE TABLE %1 (id INTEGER PRIMARY KEY, name TEXT, k INTEGER, v)");
        if (!q.exec(create.arg(table))
            || !q.exec(QStringLiteral("INSERT INTO %1 (name, k) VALUES ('alpha', 1)").arg(table))
            || !q.exec(QStringLiteral("INSERT INTO %1 (name, k) VALUES ('beta', 2)").arg(table)))
            return false;
    }
    return true;
}

void installScript(QScriptEngine *engine)
{
    engine->globalObject().setProperty(QStringLiteral("u64"), engine->newFunction(unsigned64));
    engine->evaluate(QStringLiteral("function exercise(statements, v, b) {"
                                    "  var out = [];"
                                    "  for (var i = 0; i < statements.length; ++i) {"
                                    "    m_query.prepare(statements[i]);"
                                    "    m_query.bindValue(':v', v);"
                                    "    m_query.bindValue(':b', b);"
                                    "    var ok = m_query.exec();"
                                    "    var rows = [];"
                                    "    while (ok && m_query.next())"
                                    "      rows.push(m_query.value(0) + '=' + m_query.value(1));"
                                    "    out.push(ok + ':' + rows.join(','));"
                                    "  }"
                                    "  return out.join('|');"
                                    "}"));
}

QVariant runScript(QScriptEngine *engine, const Case &c, const QString &table)
{
    engine->globalObject().setProperty(QStringLiteral("hostileStatements"), engine->toScriptValue(statements(table)));
    const QScriptValue answer = engine->evaluate(
        QStringLiteral("exercise(hostileStatements, %1, '%2')").arg(c.script, QLatin1String(kBreakout)));
    if (engine->hasUncaughtException())
        return QStringLiteral("exception: ") + answer.toString();
    return answer.toString();
}

void expectWarnings(const Case &c)
{
    if (c.script == QLatin1String("NaN")) {
        for (int i = 0; i < statements(QString()).size(); ++i)
            TestLog::ignore(QtWarningMsg, "A NaN bound to a statement is stored as NULL");
    }
}

QString runByDriver(QSqlDatabase db, const QString &table, const QVariant &value)
{
    QStringList out;
    for (const QString &sql : statements(table)) {
        QSqlQuery q(db);
        bool ok = q.prepare(sql);
        q.bindValue(QStringLiteral(":v"), value);
        if (sql.contains(QLatin1String(":b")))
            q.bindValue(QStringLiteral(":b"), QLatin1String(kBreakout));
        ok = ok && q.exec();
        QStringList rows;
        while (ok && q.next())
            rows << q.value(0).toString() + QLatin1Char('=') + q.value(1).toString();
        out << QStringLiteral("%1:%2").arg(ok ? "true" : "false", rows.join(QLatin1Char(',')));
    }
    return out.join(QLatin1Char('|'));
}

QList<QVariantList> rows(QSqlDatabase db, const QString &table)
{
    // The storage class and byte length tell apart what the values alone might not;
    // quote() gives every digit a real holds, whatever digits the driver reads.
    const QString sql = isMySql(db) ? QStringLiteral("SELECT id, name, k, v, LENGTH(v) FROM %1 ORDER BY id")
                                    : QStringLiteral("SELECT id, name, k, v, typeof(v), length(CAST(v AS BLOB)), "
                                                     "typeof(name), quote(v) FROM %1 ORDER BY id");
    QSqlQuery q(db);
    QList<QVariantList> list;
    if (!q.exec(sql.arg(table)))
        return { { QStringLiteral("<error> ") + q.lastError().text() } };
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        list << row;
    }
    return list;
}

} // namespace TestHostileValues
