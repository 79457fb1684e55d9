#ifndef APP_PLUGIN_H
#define APP_PLUGIN_H

#include "app/app_scriptlist.h"

#include <QBuffer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QScriptValue>
#include <QString>
#include <QStringList>

#include <functional>

class AppScriptObject;
class QScriptEngine;

// One requested script call: a function name and its inputs, which it owns.
// Whoever holds a list of calls owns the records.
class DataPluginExecInfo
{
public:
    QString functionName;
    AppScriptList inputs;
};

// One loaded script module: its identity, its forms and its script calls.
class AppPlugin : public QObject
{
    Q_OBJECT

public:
    explicit AppPlugin(const QString &databaseName, QObject *parent = nullptr);
    ~AppPlugin() override;

    // A new module for a file ending ".js", not yet loaded; null otherwise. The caller owns it.
    static AppPlugin *generate(QString const &path, QString const &databaseName);
    // File name patterns of module files: "*main*.js".
    static QStringList pluginFilters();

    QString moduleName() const;
    QString moduleVersion() const;
    QString moduleDate() const;
    QString moduleHTMLUI() const;
    QString moduleInteractions() const;
    QString moduleFilePath() const;
    bool isValid() const;
    // The Designer form text; not open between uses.
    QBuffer *moduleUI();
    QString databaseName() const;

    void setModuleName(QString const &name);
    void setModuleVersion(QString const &version);
    void setModuleDate(QString const &date);
    void setModuleHTMLUI(QString const &html);
    void setModuleInteractions(QString const &interactions);
    void setModuleFilePath(QString const &path);
    void setModuleUI(QString ui);
    void setModuleValidity(bool valid);

    // Whether the module has a function of that name that it does not offer
    // to the requests of pages and other programs (a global of the script
    // engine such as Array, or a helper of its own). A name that is no
    // function at all is not withheld: its call answers that there is none.
    virtual bool withholds(QString const &function) const;
    // Whether the module reads the inputs of a call by their NAME (the
    // calculation module does), so that of two inputs of one name it would
    // take one without a word; any other module takes its inputs by position.
    bool readsInputsByName() const;

public slots:
    virtual bool load(QString const &path) = 0;
    // Never null; the caller owns the result, the inputs stay the caller's.
    virtual AppScriptObject *execOne(QString const &function, QList<AppScriptObject *> const &inputs) = 0;
    // One result per request, in request order; the caller owns the results.
    virtual QList<AppScriptObject *> exec(QList<DataPluginExecInfo *> const &requests);
    // As execOne(), for a call from another program: it may take `timeLimitMs`
    // of the processor's time, what it waits for another program's hold on
    // the database counted in, and past that it is stopped and answered with
    // a ScriptError that says so. It waits for such a hold once: one that
    // outlasts its time ends it with a ScriptError that says the file is in
    // use by another program. A kind of module that cannot stop a call runs
    // it whole.
    virtual AppScriptObject *execWithin(
        QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs);

signals:
    void sigLog(QString message, int logLevel);
    void sigPluginError(QString text);

private:
    QString m_moduleName;
    QString m_moduleVersion;
    QString m_moduleDate;
    QString m_moduleHTMLUI;
    QString m_moduleInteractions;
    QString m_moduleFilePath;
    QBuffer m_moduleUI;
    bool m_valid;
    QString m_databaseName;
};

// A module run by its own QtScript engine.
class AppQtScriptPlugin : public AppPlugin
{
    Q_OBJECT

public:
    explicit AppQtScriptPlugin(QString const &databaseName, QObject *parent = nullptr);
    ~AppQtScriptPlugin() override;

    QScriptEngine *engine() const { return m_engine; }

    // The calculation module offers the functions of the calculation
    // contract; any other module the global functions its own text made.
    bool withholds(QString const &function) const override;

    // How long evaluating a module file (its text and its identity functions)
    // may take at load before the module is given up: 5 s unless changed.
    static int loadTimeLimitMs();
    static void setLoadTimeLimitMs(int ms);

    // What the evaluation of a downloaded module may take of memory beside
    // the empty engine: 256 MiB unless changed.
    static int inspectionMemoryLimitMiB();
    static void setInspectionMemoryLimitMiB(int mib);

    // Whether the bytes of a module file make a module, judged in a process
    // of its own ("vornakel_inspect" beside the program) that no database
    // object and no other module can be reached from: they evaluate within
    // the load time limit and the inspection memory limit, and
    // getModuleName() and getModuleVersion() answer. `done` gets the two
    // answers, or why not (`why` empty on success), once and later, while the
    // program works on; unless `context` goes first, which ends the inspection.
    using Inspected = std::function<void(const QString &name, const QString &version, const QString &why)>;
    static void inspect(const QByteArray &bytes, const QString &fileName, QObject *context, const Inspected &done);

public slots:
    bool load(QString const &path) override;
    AppScriptObject *execOne(QString const &function, QList<AppScriptObject *> const &inputs) override;
    AppScriptObject *execWithin(
        QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs) override;

signals:
    // The messages of loading and of single calls; those of exec() go out
    // through AppPlugin::sigLog.
    void sigLog(QString message, int logLevel);

private:
    void setUpEngine();
    // execOne() and execWithin(); a `timeLimitMs` of 0 sets no limit.
    AppScriptObject *call(QString const &function, QList<AppScriptObject *> const &inputs, int timeLimitMs);
    // A failed call: the text logged as an "Exec Error", and the ScriptError that answers it.
    AppScriptObject *execError(const QString &text);

    QScriptEngine *m_engine;
    QString m_databaseName;
    // The engine's own globals as they were before the module's text ran.
    QHash<QString, QScriptValue> m_engineGlobals;
};

#endif
