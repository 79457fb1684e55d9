#ifndef XML_MESSAGE_H
#define XML_MESSAGE_H

#include "app/app_scriptlist.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStack>
#include <QString>
#include <QXmlStreamAttributes>

#include <memory>

class AppScriptObject;
class DataPluginExecInfo;
class QXmlStreamReader;

// Reads one request message: the module it names and the calls it asks for,
// each with its input trees. Element and attribute names are matched ignoring
// case, an end tag's too; each tag is judged by its name alone, so nesting is
// not checked.
//
// A request may be read a slice at a time (begin(), then readSome() until it
// says the text is read), so that one request never holds its reader's thread
// for long. What no request needs is refused before anything of the text is
// read: a character that XML does not allow, wherever it stands (names
// included, which the XML reader would take it into), a DTD (so no entity of
// the request's own is ever expanded) and an element with more attributes
// than any request uses.
//
// The reader owns the calls and trees it collected until someone takes them
// with takeValues(); what is left is released with the reader.
class XmlMessage : public QObject
{
    Q_OBJECT

public:
    // Deeper OBJECT/ARRAY trees are refused: the tree code recurses per level.
    static const int MaxDepth = 64;
    // The most attributes one element may have. A request's elements carry a
    // handful; the XML reader's check for repeated attributes grows with the
    // square of their count.
    static const int MaxAttributes = 64;

    // Why a request was not read to its end.
    enum class Fault {
        None,
        NotWellFormed, // not well-formed XML, a character XML does not allow, or bytes that are not UTF-8 text
        TooDeep, // OBJECT/ARRAY trees nested deeper than MaxDepth
        Dtd, // a document type declaration, inside the request or naming one outside it
        TooManyAttributes, // an element with more than MaxAttributes attributes
        Encoding, // an encoding the XML declaration names that cannot be read (errorString() names it)
    };

    explicit XmlMessage(QObject *parent = nullptr);
    ~XmlMessage() override;

    // Reads the whole text; false when it is not read to its end (fault()
    // says why). What was read before the fault is kept; the fault and where
    // the reader found it are given by errorString(), errorLine(), errorColumn().
    bool parse(const QString &text);
    // Begins to read a request; readSome() reads it. From bytes, which are
    // UTF-8 text unless the XML declaration at their start names another
    // encoding: a byte that is not text in the encoding is a fault of the
    // request, and so is an encoding that cannot be read (one the system
    // does not know, or one in which the declaration itself is not read as
    // written, such as UTF-16 named in bytes of ASCII).
    void begin(const QString &text);
    void begin(const QByteArray &bytes);
    // Reads on, about `slice` characters of the text; true once the text is
    // read to its end or to a fault.
    bool readSome(qint64 slice);

    QString moduleName() const { return m_moduleName; }
    QString moduleVersion() const { return m_moduleVersion; }
    QString moduleDate() const { return m_moduleDate; }
    QString vornakelType() const { return m_vornakelType; }
    Fault fault() const { return m_fault; }
    QString errorString() const { return m_errorString; }
    qint64 errorLine() const { return m_errorLine; }
    qint64 errorColumn() const { return m_errorColumn; }

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
    // A fault found before the reader reached it, at that character of the text.
    void failAt(Fault fault, const QString &text, int offset);
    // A byte or character that is not text in its encoding, at that character of the text.
    void failAtCharacter(const QString &why, const QString &text, int offset);
    // The first character of the text that XML does not allow, if any; false when there is none.
    bool failAtForbidden(const QString &text);
    void finishReading();

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
    Fault m_fault = Fault::None;
    bool m_logging = false;
    QString m_text; // what is being read
    std::unique_ptr<QXmlStreamReader> m_reader; // while the text is read
};

#endif
