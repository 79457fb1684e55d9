#ifndef XML_MESSAGEPROCESSOR_H
#define XML_MESSAGEPROCESSOR_H

#include <QString>
#include <QStringList>
#include <QTcpServer>

class AppPlugin;
class AppPluginManager;

// The module manager of one main window: it fronts its own plug-in manager.
// Modules are handed out without ownership and never deleted here.
class XmlMessageProcessor : public QTcpServer
{
    Q_OBJECT

public:
    XmlMessageProcessor(const QString &dbPath, const bool &network, QObject *parent = nullptr);
    ~XmlMessageProcessor() override;

    void loadPlugins(const QString &folder);
    // Exactly that version; a null version picks the greatest.
    AppPlugin *findPlugin(const QString &name, const QString &version);
    // "name,version", or a bare name for the greatest version.
    AppPlugin *findPlugin(QString nameAndVersion);
    QStringList availableModules() const;
    QString modulesSearchPath() const;

public slots:
    void log(const QString &message);

signals:
    void sigLog(const QString &message, int logLevel);

private:
    void initialize();
    void createConnections();

    bool m_network;
    AppPluginManager *m_manager = nullptr;
    QString m_databasePath;
};

#endif
