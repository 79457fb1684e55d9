#include "app/app_pluginmanager.h"

#include "app/app_log.h"
#include "app/app_plugin.h"

#include <QDir>
#include <QFileInfo>

AppPluginManager::AppPluginManager(QString const &databasePath, QObject *parent)
    : QObject(parent), m_databasePath(databasePath)
{
    // Its modules' messages come through it, so it is where they are logged.
    AppLog::connect(this, &AppPluginManager::sigLog, lcApp);
}

// The only place a listed module is deleted: a holder that deleted one would
// leave the list pointing at it.
AppPluginManager::~AppPluginManager()
{
    const QList<AppPlugin *> plugins = m_plugins;
    m_plugins.clear();
    qDeleteAll(plugins);
}

void AppPluginManager::loadPlugins(QString const &folder)
{
    m_modulesSearchPath = folder;
    QStringList visiting;
    loadPluginsHelper(folder, visiting);
}

QString AppPluginManager::modulesSearchPath() const
{
    return m_modulesSearchPath;
}

void AppPluginManager::loadPluginsHelper(QString const &folder, QStringList &visiting)
{
    QDir dir(folder);
    // A linked folder that leads back into one being scanned would load the
    // same modules again at every turn of the loop.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty() && visiting.contains(canonical)) {
        emit sigLog(
            QStringLiteral("Skipping folder that leads back into the scan: %1").arg(dir.absolutePath()), AppLog::Trace);
        return;
    }
    emit sigLog(QStringLiteral("Searching for plugins here: %1").arg(dir.absolutePath()), AppLog::Trace);

    dir.setNameFilters(AppPlugin::pluginFilters());
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    const QStringList files = dir.entryList(); // name filters ignore case unless told otherwise
    for (const QString &fileName : files) {
        const QString path = folder + QLatin1Char('/') + fileName;
        emit sigLog(QStringLiteral("Found plugin: %1").arg(path), AppLog::Trace);
        addPlugin(path);
    }

    QDir sub(folder);
    sub.setFilter(QDir::Dirs | QDir::NoDotAndDotDot);
    sub.setSorting(QDir::Name | QDir::IgnoreCase);
    const QStringList folders = sub.entryList();
    if (!canonical.isEmpty())
        visiting.append(canonical);
    for (const QString &name : folders)
        loadPluginsHelper(folder + QLatin1Char('/') + name, visiting);
    if (!canonical.isEmpty())
        visiting.removeLast();
}

void AppPluginManager::addPlugin(QString const &path)
{
    emit sigLog(QStringLiteral("Add Plugin Path: ") + path, AppLog::Trace);
    AppPlugin *plugin = AppPlugin::generate(path, m_databasePath);
    if (!plugin) {
        emit sigLog(QStringLiteral("Ignoring bad plugin at ") + path, AppLog::Trace);
        return;
    }
    // The module's own log signal: loading and single calls, not exec().
    if (auto *script = qobject_cast<AppQtScriptPlugin *>(plugin))
        connect(script, &AppQtScriptPlugin::sigLog, this, &AppPluginManager::sigLog);
    else
        connect(plugin, &AppPlugin::sigLog, this, &AppPluginManager::sigLog);

    if (!plugin->load(path)) {
        delete plugin;
        return;
    }
    m_plugins.append(plugin);
}

AppPlugin *AppPluginManager::findPlugin(QString name, QString version)
{
    emit sigLog(QStringLiteral("Searching for plugin ") + name + QLatin1Char(' ') + version, AppLog::Trace);
    if (name.isNull() || m_plugins.isEmpty())
        return nullptr;

    if (!version.isNull()) {
        for (AppPlugin *plugin : qAsConst(m_plugins)) {
            if (plugin->moduleName() == name && plugin->moduleVersion() == version)
                return plugin;
        }
        return nullptr;
    }

    // A version that is not a plain decimal integer reads as 0; on equal
    // versions the module loaded first stays.
    AppPlugin *best = nullptr;
    qlonglong bestVersion = 0;
    for (AppPlugin *plugin : qAsConst(m_plugins)) {
        if (plugin->moduleName() != name)
            continue;
        const qlonglong candidate = plugin->moduleVersion().toLongLong(nullptr, 10);
        if (!best || bestVersion < candidate) {
            best = plugin;
            bestVersion = candidate;
        }
    }
    return best;
}

AppPlugin *AppPluginManager::findPlugin(QString nameAndVersion)
{
    const int comma = nameAndVersion.indexOf(QLatin1Char(','));
    if (comma < 0)
        return findPlugin(nameAndVersion, QString());
    return findPlugin(nameAndVersion.left(comma), nameAndVersion.mid(comma + 1));
}

QStringList AppPluginManager::availableModules() const
{
    QStringList lines;
    for (AppPlugin *plugin : m_plugins) {
        lines << plugin->moduleName() + QLatin1Char(',') + plugin->moduleVersion() + QLatin1Char(',')
                + plugin->moduleHTMLUI() + QLatin1Char(',') + plugin->moduleFilePath();
    }
    return lines;
}
