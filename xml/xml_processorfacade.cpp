#include "xml/xml_processorfacade.h"

#include "xml/xml_messageprocessor.h"

XmlProcessorFacade::XmlProcessorFacade(XmlMessageProcessor *processor, QObject *parent)
    : QObject(parent), m_processor(processor)
{ }

QString XmlProcessorFacade::submitFromWeb(const QString &xml)
{
    return m_processor ? m_processor->submitFromWeb(xml) : QString();
}

void XmlProcessorFacade::log(const QString &message)
{
    if (m_processor)
        m_processor->log(message);
}
