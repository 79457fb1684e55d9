#ifndef XML_UIPARSER_H
#define XML_UIPARSER_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QWidget;

// Reads a Designer form a second time for its signal-slot connections. A
// connection to a custom slot of the form class is one the form loader cannot
// make; once that slot's declaration is read, its sender's signal is wired to
// the receiver's slot (the module window's sendMessage()) instead.
class XmlUiParser : public QObject
{
    Q_OBJECT

public:
    struct Connection
    {
        QString sender;
        QString signal;
        QString receiver;
        QString slot;
    };

    explicit XmlUiParser(QObject *parent = nullptr);
    ~XmlUiParser() override;

    // The object and slot (its signature, such as "sendMessage()") that take
    // the form's custom connections, and the form whose widgets send them.
    void setModule(QObject *receiver, const char *slot, QWidget *formRoot);
    // False when the text is not well-formed; what came before the error stays wired.
    bool parse(const QByteArray &form);

    QString className() const { return m_className; }
    QString errorString() const { return m_errorString; }
    void clear() { m_className.clear(); }

signals:
    void sigLog(const QString &message, int logLevel);

private:
    void startElement(const QString &name);
    void endElement(const QString &name);
    void rewire(const QString &slot);

    QString m_text;
    QString m_errorString;
    QString m_className;
    QString m_sender;
    QString m_signal;
    QString m_receiver;
    QObject *m_target = nullptr;
    QByteArray m_targetSlot;
    QWidget *m_formRoot = nullptr;
    QList<Connection *> m_connections;
};

#endif
