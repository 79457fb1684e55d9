#ifndef XML_PROCESSORFACADE_H
#define XML_PROCESSORFACADE_H

#include <QObject>
#include <QPointer>
#include <QString>

class XmlMessageProcessor;

// What an HTML module page may call on the window's message processor. A page
// reaches every slot of an object published to it, deleteLater included, so
// the processor itself is never published; the page gets a plain script
// object with the two functions, which call this facade.
class XmlProcessorFacade : public QObject
{
    Q_OBJECT

public:
    explicit XmlProcessorFacade(XmlMessageProcessor *processor, QObject *parent = nullptr);

public slots:
    QString submitFromWeb(const QString &xml);
    void log(const QString &message);

private:
    QPointer<XmlMessageProcessor> m_processor;
};

#endif
