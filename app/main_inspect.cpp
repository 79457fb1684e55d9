// vornakel_inspect: evaluates the text of a module file in a process of its
// own and reports the module's name and version, for the update check (its
// arguments and answers: app/app_inspectorcontract.h). A downloaded script may
// loop, or spend its time and memory in the engine's native code, where the
// engine cannot stop it; a process can be ended, and the runner that starts
// it limits its time. Nothing of the program is reachable from it.

#include "app/app_helperlimits.h"
#include "app/app_inspectorcontract.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QScriptEngine>
#include <QScriptProgram>
#include <QScriptValue>

#include <cstdio>

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

void write(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace AppInspectorContract;
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return int(Exit::Usage);
    const QString fileName = QString::fromLocal8Bit(argv[1]);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return int(Exit::Usage);
    // As the program reads a module file: up to the first zero byte, one character per byte.
    QByteArray bytes = in.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    const QString text = QString::fromLatin1(bytes);
    bytes.clear();

    QScriptEngine engine;
    // The names a module engine is given exist, empty, so that a module that
    // looks for its database objects before using them finds none.
    for (const char *global : { "m_db", "m_query", "m_query2", "m_plot" })
        engine.globalObject().setProperty(QLatin1String(global), QScriptValue(QScriptValue::NullValue));
    // From here on, what the script takes counts against the cap.
    AppHelperLimits::capMemoryFromHere();

    // Said as the program says it of a module file it loads.
    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(text);
    if (check.state() == QScriptSyntaxCheckResult::Error) {
        write(QByteArray(errorLine) + '\n'
            + line(QStringLiteral("Error: %1 LineNumber: %2").arg(check.errorMessage()).arg(check.errorLineNumber())));
        return int(Exit::Done);
    }

    engine.evaluate(QScriptProgram(text, fileName, 1));
    QByteArray values[2];
    const char *const entryPoints[2] = { "getModuleName()", "getModuleVersion()" };
    for (int i = 0; i < 2 && !engine.hasUncaughtException(); ++i) {
        const QScriptValue value = engine.evaluate(QString::fromLatin1(entryPoints[i]), fileName, 1);
        values[i] = engine.hasUncaughtException() ? QByteArray("-\n") : identity(value);
        engine.clearExceptions();
    }
    if (engine.hasUncaughtException()) {
        write(QByteArray(errorLine) + '\n'
            + line(QStringLiteral("Line #%1: %2")
                       .arg(engine.uncaughtExceptionLineNumber())
                       .arg(engine.uncaughtException().toString())));
        return int(Exit::Done);
    }
    write(QByteArray(okLine) + '\n' + values[0] + values[1]);
    return int(Exit::Done);
}
