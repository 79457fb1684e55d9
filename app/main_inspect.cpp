// vornakel_inspect: evaluates the text of a module file in a process of its
// own and reports the module's name and version, for the update check. A
// downloaded script may loop, or spend its time and memory in the engine's
// native code, where the engine cannot stop it; a process can be ended, and
// its memory is capped here. Nothing of the program is reachable from it.
//
// Usage: vornakel_inspect MEMORY_MIB FILE_NAME, with the module text (UTF-8)
// on standard input. Writes "ready" once the text is read and the cap set, so
// that the caller's clock covers the evaluation alone; then "ok" and two
// values (the name and the version), or "error" and why. Each value is one
// line: "s" and a string, "n" and a number, or "-" for none; percent-encoded.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QScriptEngine>
#include <QScriptProgram>
#include <QScriptValue>

#include <cstdio>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray line(const QString &text)
{
    return text.toUtf8().toPercentEncoding() + '\n';
}

// An identity function's result as the module loader reads it: a plain
// string or number; anything else is none.
QByteArray identity(const QScriptValue &value)
{
    if (!value.isValid() || value.isUndefined() || value.isNull() || value.isError() || value.isObject())
        return "-\n";
    if (value.isNumber())
        return 'n' + QByteArray::number(value.toNumber(), 'g', 17) + '\n';
    return 's' + line(value.toString());
}

// The address space in use now, in bytes.
rlim_t addressSpace()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return rlim_t(statm.readAll().split(' ').value(0).toULongLong()) * rlim_t(sysconf(_SC_PAGESIZE));
}

void write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    // Ends with the program that asked, whatever becomes of it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const rlim_t memory = rlim_t(QByteArray(argv[1]).toULongLong()) * 1024 * 1024;
    const QString fileName = QString::fromLocal8Bit(argv[2]);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    const QString text = QString::fromUtf8(in.readAll());

    QScriptEngine engine;
    // The names a module engine is given exist, empty, so that a module that
    // looks for its database objects before using them finds none.
    for (const char *global : { "m_db", "m_query", "m_query2", "m_plot" })
        engine.globalObject().setProperty(QLatin1String(global), QScriptValue(QScriptValue::NullValue));
    // From here on, what the script takes counts against the cap.
    const rlimit cap { addressSpace() + memory, addressSpace() + memory };
    if (memory > 0 && setrlimit(RLIMIT_AS, &cap) != 0)
        return 2;
    write("ready\n");

    engine.evaluate(QScriptProgram(text, fileName, 1));
    QByteArray values[2];
    const char *const entryPoints[2] = { "getModuleName()", "getModuleVersion()" };
    for (int i = 0; i < 2 && !engine.hasUncaughtException(); ++i) {
        const QScriptValue value = engine.evaluate(QString::fromLatin1(entryPoints[i]), fileName, 1);
        values[i] = engine.hasUncaughtException() ? QByteArray("-\n") : identity(value);
        engine.clearExceptions();
    }
    if (engine.hasUncaughtException()) {
        write("error\n"
            + line(QStringLiteral("Line #%1: %2")
                       .arg(engine.uncaughtExceptionLineNumber())
                       .arg(engine.uncaughtException().toString())));
        return 0;
    }
    write("ok\n" + values[0] + values[1]);
    return 0;
}
