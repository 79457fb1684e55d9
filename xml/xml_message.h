#ifndef XML_MESSAGE_H
#define XML_MESSAGE_H

#include "app/app_scriptlist.h"

#include <QList>
#include <QObject>
#include <QStack>
#include <QString>
#include <QXmlStreamAttributes>

class AppScriptObject;
class DataPluginExecInfo;

// Reads one request message: the module it names and the calls it asks for,
// each with its input trees. Element and attribute names are matched ignoring
// case; each tag is judged by its name alone, so nesting is not checked.
//
// The reader owns the calls and trees it collected until someone takes them
// with takeValues(); what is left is released with the reader.
class XmlMessage : public QObject
{
    Q_OBJECT

public:
    // Deeper OBJECT/ARRAY trees are refused: the tree code recurses per level.
    static const int MaxDepth = 64;

    explicit XmlMessage(QObject *parent = nullptr);
    ~XmlMessage() override;

    // Reads the whole text; false when it is not well-formed (or nests too
    // deep). What was read before the error is kept; the error and where the
    // reader found it are given by errorString(), errorLine(), errorColumn().
    bool parse(const QString &text);

    QString moduleName() const { return m_moduleName; }
    QString moduleVersion() const { return m_moduleVersion; }
    QString moduleDate() const { return m_moduleDate; }
    QString vornakelType() const { return m_vornakelType; }
    QString errorString() const { return m_errorString; }
    qint64 errorLine() const { return m_errorLine; }
    qint64 errorColumn() const { return m_errorColumn; }
    bool tooDeep() const { return m_tooDeep; }

    const QList<DataPluginExecInfo *> &values() const { return m_values; }
    // Hands the calls and their trees over to the caller.
    QList<DataPluginExecInfo *> takeValues();
    // Releases everything read so far and starts afresh.
    void clear();

    // Releases a list of calls with their input trees.
    static void release(QList<DataPluginExecInfo *> &calls);

signals:
    void sigLog(const QString &message, int logLevel);

private:
    bool startDocument();
    bool endDocument();
    bool startElement(const QString &name, const QXmlStreamAttributes &attributes);
    bool endElement(const QString &name);
    bool characters(const QString &text);
    void parseAttributes(AppScriptObject *node, const QXmlStreamAttributes &attributes);
    // Hands the nodes to the call being read; without one they are dropped.
    void appendInput(AppScriptList &&nodes);
    void echoAttributes(const QString &prefix, const QXmlStreamAttributes &attributes);

    QString m_collectedText;
    QString m_errorString;
    qint64 m_errorLine = 0;
    qint64 m_errorColumn = 0;
    QString m_vornakelType;
    QString m_moduleName;
    QString m_moduleVersion;
    QString m_moduleDate;
    QList<DataPluginExecInfo *> m_values;
    QStack<AppScriptObject *> m_openNodes;
    AppScriptList m_openTree; // the outermost open node, which holds the others
    bool m_tooDeep = false;
    bool m_logging = false;
};

#endif
