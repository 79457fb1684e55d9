#ifndef APP_PLUGINMANAGER_H
#define APP_PLUGINMANAGER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class AppPlugin;

// Finds the module files below a modules folder, loads one module per file and
// keeps them in load order. It owns every module it lists and deletes them when
// it goes; findPlugin lends a module, whoever holds it never deletes it.
class AppPluginManager : public QObject
{
    Q_OBJECT

public:
    explicit AppPluginManager(QString const &databasePath, QObject *parent = nullptr);
    ~AppPluginManager() override;

    void loadPlugins(QString const &folder);
    QString modulesSearchPath() const;
    void addPlugin(QString const &path);

    // Exactly that version; with a null version the greatest (read as an integer).
    AppPlugin *findPlugin(QString name, QString version);
    // "name,version", or a bare name for the greatest version.
    AppPlugin *findPlugin(QString nameAndVersion);

    // name,version,HTML form,file path per loaded module, in load order.
    QStringList availableModules() const;

    QList<AppPlugin *> plugins() const { return m_plugins; }

signals:
    void sigLog(QString message, int logLevel);

private:
    // visiting: canonical paths of the folders being scanned, outermost first.
    void loadPluginsHelper(QString const &folder, QStringList &visiting);

    QList<AppPlugin *> m_plugins;
    QString m_modulesSearchPath;
    QString m_databasePath;
};

#endif
