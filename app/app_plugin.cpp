#include "app/app_plugin.h"

#include "app/app_calculationcontract.h"
#include "app/app_helperrunner.h"
#include "app/app_inspectorcontract.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_scriptglobals.h"
#include "app/app_scriptobject.h"
#include "app/app_scriptwatch.h"
#include "sql/sql_boundedwait.h"

#include <QDir>
#include <QFile>
#include <QScriptEngine>
#include <QScriptProgram>
#include <QScriptSyntaxCheckResult>
#include <QScriptValueIterator>
#include <QScriptValueList>

#include <memory>
#include <optional>

// ---------------------------------------------------------------- AppPlugin

AppPlugin::AppPlugin(const QString &databaseName, QObject *parent)
    : QObject(parent), m_valid(false), m_databaseName(databaseName)
{ }

AppPlugin::~AppPlugin() = default;

AppPlugin *AppPlugin::generate(QString const &path, QString const &databaseName)
{
    qCDebug(lcApp) << "AppPlugin::generate" << path << databaseName;
    if (path.endsWith(QLatin1String(".js"), Qt::CaseSensitive))
        return new AppQtScriptPlugin(databaseName, nullptr);
    return nullptr;
}

QStringList AppPlugin::pluginFilters()
{
    return QStringList() << QStringLiteral("*main*.js");
}

QString AppPlugin::moduleName() const
{
    return m_moduleName;
}

QString AppPlugin::moduleVersion() const
{
    return m_moduleVersion;
}

QString AppPlugin::moduleDate() const
{
    return m_moduleDate;
}

QString AppPlugin::moduleHTMLUI() const
{
    return m_moduleHTMLUI;
}

QString AppPlugin::moduleInteractions() const
{
    return m_moduleInteractions;
}

QString AppPlugin::moduleFilePath() const
{
    return m_moduleFilePath;
}

bool AppPlugin::isValid() const
{
    return m_valid;
}

QBuffer *AppPlugin::moduleUI()
{
    return &m_moduleUI;
}

QString AppPlugin::databaseName() const
{
    return m_databaseName;
}

void AppPlugin::setModuleName(QString const &name)
{
    m_moduleName = name;
}

void AppPlugin::setModuleVersion(QString const &version)
{
    m_moduleVersion = version;
}

void AppPlugin::setModuleDate(QString const &date)
{
    m_moduleDate = date;
}

void AppPlugin::setModuleHTMLUI(QString const &html)
{
    m_moduleHTMLUI = html;
}

void AppPlugin::setModuleInteractions(QString const &interactions)
{
    m_moduleInteractions = interactions;
}

void AppPlugin::setModuleFilePath(QString const &path)
{
    m_moduleFilePath = path;
}

void AppPlugin::setModuleUI(QString ui)
{
    if (m_moduleUI.isOpen())
        m_moduleUI.close();
    m_moduleUI.setData(ui.toLocal8Bit());
}

void AppPlugin::setModuleValidity(bool valid)
{
    m_valid = valid;
}

bool AppPlugin::withholds(QString const &function) const
{
    Q_UNUSED(function)
    return false;
}

bool AppPlugin::readsInputsByName() const
{
    return moduleName() == QLatin1String(AppCalculationContract::moduleName);
}

QList<AppScriptObject *> AppPlugin::exec(QList<DataPluginExecInfo *> const &requests)
{
    emit sigLog(QStringLiteral("-----------app plugin started---------------"), AppLog::Trace);
    QList<AppScriptObject *> results;
    for (DataPluginExecInfo *request : requests) {
        if (!request)
            continue;
        emit sigLog(QStringLiteral("Exec plugin:\n") + moduleName() + QStringLiteral("\n") + request->functionName
                + QStringLiteral("\n"),
            AppLog::Trace);
        results << execOne(request->functionName, request->inputs);
    }
    emit sigLog(QStringLiteral("-----------app plugin finished---------------"), AppLog::Trace);
    return results;
}

AppScriptObject *AppPlugin::execWithin(QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs)
{
    Q_UNUSED(timeLimitMs)
    return execOne(function, inputs);
}

// -------------------------------------------------------- AppQtScriptPlugin

namespace {

// The text of an identity function's result; null for anything that is not a
// plain value, so a missing or failing entry point reads as absent.
QString identityText(const QScriptValue &value)
{
    if (!value.isValid() || value.isUndefined() || value.isNull() || value.isError() || value.isObject())
        return QString();
    if (value.isNumber())
        return AppNumber::toText(value.toNumber());
    return value.toString();
}

int s_loadTimeLimitMs = AppInspectorContract::defaultTimeMs;
// What the evaluation of a downloaded module may take beside the empty engine.
int s_inspectionMemoryMiB = AppInspectorContract::defaultMemoryMiB;
// What is kept of the inspector's answer: a name and a version, percent-encoded.
const int kInspectorOutputBytes = 1024 * 1024;
// What a call of the program's own waits in all for another program's hold
// met within it: SQLite's own wait of the connection, for one statement.
const qint64 kWindowLockWaitNs = qint64(250) * 1000 * 1000;

// A module file's text: its bytes up to the first NUL, one character per byte.
QString moduleText(QByteArray bytes)
{
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromLatin1(bytes);
}

// A function the module offers under a name: a value stored there, never a
// getter's, whose code would run before any call's watch begins (and could
// loop for good). Invalid where the name holds none.
QScriptValue offeredFunction(
    const QScriptValue &global, const QString &name, QScriptValue::ResolveFlags mode = QScriptValue::ResolvePrototype)
{
    if (global.propertyFlags(name, mode) & QScriptValue::PropertyGetter)
        return QScriptValue();
    const QScriptValue value = global.property(name, mode);
    return value.isFunction() ? value : QScriptValue();
}

} // namespace

int AppQtScriptPlugin::loadTimeLimitMs()
{
    return s_loadTimeLimitMs;
}

void AppQtScriptPlugin::setLoadTimeLimitMs(int ms)
{
    s_loadTimeLimitMs = ms;
}

int AppQtScriptPlugin::inspectionMemoryLimitMiB()
{
    return s_inspectionMemoryMiB;
}

void AppQtScriptPlugin::setInspectionMemoryLimitMiB(int mib)
{
    s_inspectionMemoryMiB = mib;
}

void AppQtScriptPlugin::inspect(
    const QByteArray &bytes, const QString &fileName, QObject *context, const Inspected &done)
{
    // An engine stops a script only between its statements; time spent in its
    // native code (building a huge string, say) runs on, and so does the
    // memory it takes. A process of its own is ended at the limit whatever it
    // does, and its memory is capped. Even the check of the syntax runs there:
    // it takes a second over the largest module a download may bring.
    auto *runner = new AppHelperRunner(context);
    QObject::connect(runner, &AppHelperRunner::ended, context, [runner, done]() {
        runner->deleteLater();
        const AppHelperRunner::Result ran = runner->result();
        if (ran.ending != AppHelperRunner::Ending::Finished || ran.exitCode != int(AppInspectorContract::Exit::Done)) {
            done(QString(), QString(), QStringLiteral("The module inspector %1.").arg(ran.how()));
            return;
        }
        const QList<QByteArray> lines = ran.output.split('\n');
        const auto value = [](const QByteArray &line) {
            const QByteArray payload = QByteArray::fromPercentEncoding(line.mid(1));
            if (line.startsWith('n'))
                return AppNumber::toText(payload.toDouble());
            if (line.startsWith('s')) {
                // An empty name is still a name.
                QString text = QString::fromUtf8(payload);
                if (text.isNull())
                    text = QLatin1String("");
                return text;
            }
            return QString();
        };
        if (lines.value(0) == AppInspectorContract::errorLine) {
            done(QString(), QString(), QString::fromUtf8(QByteArray::fromPercentEncoding(lines.value(1))));
            return;
        }
        const QString name = value(lines.value(1));
        const QString version = value(lines.value(2));
        if (lines.value(0) != AppInspectorContract::okLine || name.isNull() || version.isNull()) {
            done(QString(), QString(), QStringLiteral("One or more necessary module entry points are missing."));
            return;
        }
        done(name, version, QString());
    });
    AppHelperRunner::Limits limits;
    limits.timeMs = s_loadTimeLimitMs;
    limits.memoryMiB = s_inspectionMemoryMiB;
    limits.outputBytes = kInspectorOutputBytes;
    runner->start(QLatin1String(AppInspectorContract::program), { fileName }, limits, bytes);
}

AppQtScriptPlugin::AppQtScriptPlugin(QString const &databaseName, QObject *parent)
    : AppPlugin(databaseName, parent), m_engine(new QScriptEngine()), m_databaseName(databaseName)
{
    AppScriptWatch::prepare(m_engine);
    setUpEngine();
}

AppQtScriptPlugin::~AppQtScriptPlugin()
{
    delete m_engine;
}

// The one place where a fresh engine receives what its scripts may reach
// besides their own globals (the database connection and its query objects).
void AppQtScriptPlugin::setUpEngine()
{
    AppScriptGlobals::install(
        m_engine, m_databaseName, [this](const QString &message, int logLevel) { emit sigLog(message, logLevel); });
}

bool AppQtScriptPlugin::load(QString const &path)
{
    setModuleFilePath(QDir::toNativeSeparators(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString text = moduleText(file.readAll());
    file.close();

    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(text);
    if (check.state() == QScriptSyntaxCheckResult::Error) {
        emit sigLog(QStringLiteral("Error: %1 LineNumber: %2").arg(check.errorMessage()).arg(check.errorLineNumber()),
            AppLog::Warning);
        return false;
    }
    if (check.state() == QScriptSyntaxCheckResult::Intermediate) {
        emit sigLog(
            QStringLiteral("The module is not completely valid and may be incomplete. %1").arg(check.errorMessage()),
            AppLog::Warning);
    }

    m_engine->clearExceptions();
    // What the engine offers before the module adds its own: none of it is the module's to offer.
    m_engineGlobals.clear();
    for (QScriptValueIterator it(m_engine->globalObject()); it.hasNext();) {
        it.next();
        m_engineGlobals.insert(it.name(), it.value());
    }
    // A module that never finishes must not keep the program from starting.
    const AppScriptWatch deadline(
        m_engine, AppScriptWatch::Clock::Wall, AppScriptWatch::now(AppScriptWatch::Clock::Wall), s_loadTimeLimitMs);
    const auto overTime = [&]() {
        m_engine->clearExceptions();
        setModuleValidity(false);
        emit sigLog(QStringLiteral("The module %1 did not finish loading within %2 s; it is not loaded.")
                        .arg(QDir::toNativeSeparators(path), AppNumber::secondsText(s_loadTimeLimitMs)),
            AppLog::Warning);
        return false;
    };
    m_engine->evaluate(QScriptProgram(text, path, 1));
    if (deadline.stopped())
        return overTime();
    if (m_engine->hasUncaughtException()) {
        const QString message = m_engine->uncaughtException().toString();
        const int line = m_engine->uncaughtExceptionLineNumber();
        qCDebug(lcApp).noquote() << "AppQtScriptPlugin::load" << path << "uncaught exception\n"
                                 << m_engine->uncaughtExceptionBacktrace().join(QLatin1Char('\n'));
        emit sigLog(QStringLiteral("Plugin Error: %1").arg(message), AppLog::Warning);
        const QString error = QStringLiteral("Line #%1: %2").arg(line).arg(message);
        emit sigPluginError(error);
        m_engine->clearExceptions();
        setModuleValidity(false);
        return false;
    }

    QString identity[6];
    const char *const entryPoints[6] = { "getModuleName()", "getModuleVersion()", "getModuleDate()",
        "getModuleInteractionXml()", "getModuleUI()", "getModuleHTMLUI()" };
    for (int i = 0; i < 6; ++i) {
        const QScriptValue value = m_engine->evaluate(QString::fromLatin1(entryPoints[i]), path, 1);
        if (deadline.stopped())
            return overTime();
        // A thrown value is no identity, even a plain string.
        if (!m_engine->hasUncaughtException())
            identity[i] = identityText(value);
        // A missing optional entry point throws; that must not linger into the first call.
        m_engine->clearExceptions();
    }
    setModuleName(identity[0]);
    setModuleVersion(identity[1]);
    setModuleDate(identity[2]);
    setModuleInteractions(identity[3]);
    setModuleUI(identity[4]);
    setModuleHTMLUI(identity[5]);

    if (moduleName().isNull() || moduleVersion().isNull()) {
        setModuleValidity(false);
        emit sigLog(QStringLiteral("One or more necessary module entry points are missing."), AppLog::Warning);
        return false;
    }
    setModuleValidity(true);
    emit sigLog(QStringLiteral("Loaded plugin: %1,\n %2,\n %3,\n %4,\n %5\n")
                    .arg(path, moduleName(), moduleVersion(), moduleDate(), moduleInteractions()),
        AppLog::Trace);
    return true;
}

bool AppQtScriptPlugin::withholds(QString const &function) const
{
    const QScriptValue global = m_engine->globalObject();
    if (!offeredFunction(global, function).isValid())
        return false;
    if (moduleName() == QLatin1String(AppCalculationContract::moduleName))
        return !AppCalculationContract::offeredFunctions().contains(function);
    // Its own: made by its text, or put by it in place of an engine global of that name.
    const QScriptValue own = offeredFunction(global, function, QScriptValue::ResolveLocal);
    const auto engines = m_engineGlobals.constFind(function);
    return !own.isValid() || (engines != m_engineGlobals.constEnd() && engines->strictlyEquals(own));
}

AppScriptObject *AppQtScriptPlugin::execOne(QString const &function, QList<AppScriptObject *> const &inputs)
{
    return call(function, inputs, 0);
}

AppScriptObject *AppQtScriptPlugin::execWithin(
    QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs)
{
    return call(function, inputs, qMax(1, timeLimitMs));
}

AppScriptObject *AppQtScriptPlugin::call(
    QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs)
{
    // A call from another program has a time of its own and is not waited
    // for; one of the program's own waits for a file another program holds.
    const QString inUse = timeLimitMs > 0 ? QString() : AppScriptGlobals::waitForDatabase(m_engine);
    if (!inUse.isEmpty()) {
        AppScriptObject *error = execError(inUse);
        emit sigPluginError(inUse);
        return error;
    }
    const qint64 began = timeLimitMs > 0 ? AppScriptWatch::now(AppScriptWatch::Clock::Processor) : 0;
    // However the call ends, nothing it opened on the database stays open.
    const AppScriptGlobals::CallScope scope(
        m_engine, [this](const QString &message, int logLevel) { emit sigLog(message, logLevel); });
    emit sigLog(QStringLiteral("Plugin execOne: Calling %1\n").arg(function), AppLog::Trace);
    qCDebug(lcApp) << "AppQtScriptPlugin::execOne" << moduleName() << function;

    QScriptValueList arguments;
    for (AppScriptObject *input : inputs) {
        if (!input)
            continue;
        arguments << input->toQScriptValue(m_engine);
        emit sigLog(QStringLiteral("Plugin input argument: %1\n").arg(input->toString()), AppLog::Trace);
    }

    // An exception left over from an earlier call must not be taken for one of this call.
    m_engine->clearExceptions();
    QScriptValue global = m_engine->globalObject();
    QScriptValue callee = offeredFunction(global, function);
    if (!callee.isValid()) {
        // A call of nothing would come back as an empty value, which reads as a result.
        return execError(QStringLiteral("The module %1 has no function \"%2\".").arg(moduleName(), function));
    }
    // What reads the result runs the module's code too (a getter of it, the
    // toString of a thrown object): it is watched with the call.
    std::optional<AppScriptWatch> watch;
    // Its statements wait for another program's hold within its time, once.
    std::optional<SqlBoundedWait> lockWait;
    qint64 windowWaitedNs = 0;
    if (timeLimitMs > 0) {
        watch.emplace(m_engine, AppScriptWatch::Clock::Processor, began, timeLimitMs);
        lockWait.emplace(SqlBoundedWait::Call { [&watch]() { return watch->leftNs(); },
            [&watch](qint64 waitedNs) { watch->charge(waitedNs); }, [&watch]() { watch->stop(); } });
        // The engine takes an abort only while it evaluates: a function
        // called from here runs in a context of its own for that.
        m_engine->pushContext();
    } else {
        // The program's own calls run at full speed, also after a load or a call from another program.
        AppScriptWatch::unwatch(m_engine);
        // They have no time of their own, but a hold met after the wait
        // above is waited for once, as one statement would wait, not at
        // every statement: a calculation of forty statements held the
        // window for ten seconds and then blamed its data.
        lockWait.emplace(SqlBoundedWait::Call { [&windowWaitedNs]() { return kWindowLockWaitNs - windowWaitedNs; },
            [&windowWaitedNs](qint64 waitedNs) { windowWaitedNs += waitedNs; }, nullptr });
    }
    const QScriptValue result = callee.call(global, arguments);
    const bool thrown = m_engine->hasUncaughtException();
    const int line = thrown ? m_engine->uncaughtExceptionLineNumber() : 0;
    m_engine->clearExceptions();

    // Whatever a script throws is a failed call, not a result to be shown.
    const bool failed = result.isError() || thrown;
    QString text;
    std::unique_ptr<AppScriptObject> tree;
    QString notWhole;
    bool overTime = false;
    if (!watch || !watch->stopped()) {
        if (failed) {
            text = result.toString();
        } else if (result.isObject()) {
            // The result is made into a tree within the call's time: a result of
            // tens of thousands of members takes longer to convert than to make.
            std::function<bool()> late;
            if (watch)
                late = [&watch]() { return watch->leftNs() < 0; };
            tree.reset(AppScriptObject::fromQScriptValue(result, late, &notWhole));
            overTime = !tree;
        } else if (result.isNumber()) {
            text = AppNumber::toText(result.toNumber());
        } else if (result.isValid()) {
            text = result.toString();
        }
    }
    const bool stopped = watch && watch->stopped();
    const QString inUseNow = lockWait && lockWait->gaveUp() ? lockWait->report() : QString();
    lockWait.reset();
    if (watch) {
        m_engine->popContext();
        watch.reset();
    }

    if (!inUseNow.isEmpty()) {
        // Whatever the module made of its failed statements, the file was not to be read.
        if (stopped) {
            m_engine->evaluate(QString());
            m_engine->clearExceptions();
        }
        if (timeLimitMs <= 0) {
            // Said as a wait before the call that gave up says it, in the window's box.
            AppScriptObject *error = execError(inUseNow);
            emit sigPluginError(inUseNow);
            return error;
        }
        return execError(QStringLiteral("The call %1 was stopped: %2").arg(function, inUseNow));
    }
    if (stopped || overTime) {
        if (stopped) {
            // The engine keeps its stop until it next evaluates a program: the
            // module's next call would be stopped at its first loop.
            m_engine->evaluate(QString());
            m_engine->clearExceptions();
        }
        return execError(QStringLiteral("The call %1 took more than %2 ms of the processor's time, the most a call "
                                        "from another program may take, and was stopped.")
                             .arg(function)
                             .arg(timeLimitMs));
    }
    if (!notWhole.isNull()) {
        // Shown as a thrown error is: a window's figures stay empty, and the box says why.
        AppScriptObject *error = execError(notWhole);
        emit sigPluginError(notWhole);
        return error;
    }
    if (failed) {
        AppScriptObject *error = execError(text);
        if (thrown)
            emit sigPluginError(QStringLiteral("Line #%1: %2").arg(line).arg(text));
        return error;
    }
    if (tree)
        return tree.release();
    return new AppScriptObject(QStringLiteral("unknown_primitive"), text, AppScriptObject::Normal);
}

AppScriptObject *AppQtScriptPlugin::execError(const QString &text)
{
    emit sigLog(QStringLiteral("Exec Error: %1").arg(text), AppLog::Warning);
    return new AppScriptObject(QStringLiteral("ScriptError"), text, AppScriptObject::Normal);
}
