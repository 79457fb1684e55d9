#include "xml/xml_messageprocessor.h"

#include "app/app_log.h"
#include "app/app_pluginmanager.h"

XmlMessageProcessor::XmlMessageProcessor(const QString &dbPath, const bool &network, QObject *parent)
    : QTcpServer(parent), m_network(network), m_databasePath(dbPath)
{
    initialize();
    createConnections();
}

XmlMessageProcessor::~XmlMessageProcessor()
{
    // The manager leaves its modules alone: their holders delete them.
    delete m_manager;
}

void XmlMessageProcessor::initialize()
{
    m_manager = new AppPluginManager(m_databasePath, this);
    setObjectName(QStringLiteral("MessageProcessor"));
}

void XmlMessageProcessor::createConnections()
{
    // The module manager logs its own messages and those of its modules.
    AppLog::connect(this, &XmlMessageProcessor::sigLog, lcXml);
}

void XmlMessageProcessor::loadPlugins(const QString &folder)
{
    m_manager->loadPlugins(folder);
}

AppPlugin *XmlMessageProcessor::findPlugin(const QString &name, const QString &version)
{
    return m_manager->findPlugin(name, version);
}

AppPlugin *XmlMessageProcessor::findPlugin(QString nameAndVersion)
{
    return m_manager->findPlugin(nameAndVersion);
}

QStringList XmlMessageProcessor::availableModules() const
{
    return m_manager->availableModules();
}

QString XmlMessageProcessor::modulesSearchPath() const
{
    return m_manager->modulesSearchPath();
}

void XmlMessageProcessor::log(const QString &message)
{
    if (!message.simplified().isEmpty())
        emit sigLog(message, AppLog::Trace);
}
