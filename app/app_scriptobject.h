#ifndef APP_SCRIPTOBJECT_H
#define APP_SCRIPTOBJECT_H

#include <QDomDocument>
#include <QDomElement>
#include <QHash>
#include <QList>
#include <QMap>
#include <QScriptValue>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <type_traits>

class QScriptEngine;
class QWidget;

// The value that crosses the border between the forms and the script modules:
// a node with named properties (plain values) and named child nodes, both keyed
// in upper case. A node's name and value are its NAME and VALUE properties.
//
// A node owns its children: deleting a top-level node deletes the whole tree,
// and a child replaced under the same key is deleted at once. A child must
// therefore be stored in one place only.
class AppScriptObject
{
public:
    enum Type : qint32 { Normal = 0, Object = 1, Array = 2 };

    explicit AppScriptObject(AppScriptObject::Type type);
    AppScriptObject(QString name, QVariant value, AppScriptObject::Type type);
    ~AppScriptObject();

    AppScriptObject::Type type() const;

    // The key is upper-cased, so "Row" and "ROW" are one property.
    void setProperty(const char *key, const QVariant &value);
    // Plain numbers and switches, so that a literal 0 is stored as a value and
    // not taken for a null child.
    template<typename T, typename std::enable_if<std::is_arithmetic<T>::value, int>::type = 0>
    void setProperty(const char *key, T value)
    {
        setProperty(key, QVariant::fromValue(value));
    }
    // Stores and takes over the child. A Normal node holds no children: it
    // reports that on standard error and stores nothing, and the child stays
    // the caller's.
    void setProperty(const char *key, AppScriptObject *child);

    // "CHILD-0", "CHILD-1", ... for children that carry no key of their own.
    QString nextUnknownChildTag();

    // Read access for the readers of a tree; keys are matched in upper case.
    const QMap<QString, QVariant> &properties() const { return m_properties; }
    const QMap<QString, AppScriptObject *> &children() const { return m_children; }
    bool hasProperty(const QString &key) const;
    QVariant property(const QString &key) const; // invalid when absent
    AppScriptObject *child(const QString &key) const; // null when absent

    // A script object whose members are the node's keys, every value a
    // string; an Array node becomes a script array whose elements are the
    // members under index keys, in the order of their indexes and numbered
    // from 0 (a request's INDEX="7" on its only row gives a one-element array).
    QScriptValue toQScriptValue(QScriptEngine *engine);
    // New tree from a script value; the caller owns it. A value that cannot
    // be made into a tree whole (objects nested deeper than 64 levels, an
    // object that contains itself, more than 100,000 objects) gives no part
    // of it but a Normal node named ScriptError whose VALUE says why, also in
    // `whyNotWhole` (if given; null when the tree is whole). Given up when
    // `overTime` (if given) says so, asked now and then while the tree
    // grows: null then.
    static AppScriptObject *fromQScriptValue(const QScriptValue &value,
        const std::function<bool()> &overTime = std::function<bool()>(), QString *whyNotWhole = nullptr);

    // Text dump for logs.
    QString toString();

    // Writes the node into the element (renamed OUTPUT, OBJECT or ARRAY) and returns it.
    QDomElement toXML(QDomDocument &document, QDomElement &element);
    // Appends the element toXML() makes as the text of an answer: UTF-8, one
    // element a line, indented by one blank per level from `depth`, in time
    // that grows with the text alone. False, and `out` as it was, when the
    // text would take `out` past `limit` bytes.
    bool appendXml(QByteArray &out, int depth, qint64 limit) const;
    // Appends the text as an attribute value, without its quotes: &, <, >, "
    // and the tab and line ends as references, and what XML cannot carry
    // (other control characters, U+FFFE, U+FFFF, half a surrogate pair) as
    // U+FFFD, everything in one pass.
    static void appendAttributeText(QByteArray &out, const QString &text);

    // Write result trees into the widgets of a form by object name; return the graph-point strings.
    static QStringList populateForm(AppScriptObject *node, QWidget *form);
    static QStringList populateForm(QList<AppScriptObject *> nodes, QWidget *form);

    // The text of a property value, as scripts, XML and forms see it (doubles
    // with 15 significant digits, an invalid value as an empty text).
    static QString textOf(const QVariant &value);

private:
    Q_DISABLE_COPY(AppScriptObject)

    struct Filling;
    static void fill(AppScriptObject *node, const QScriptValue &value, Filling &filling);
    // OUTPUT, OBJECT or ARRAY, for a node with `numberedItems` or without.
    QString elementName(bool numberedItems) const;
    // Stores and takes over a child that is neither null nor this node under
    // an upper-case key.
    void holdChild(const QString &key, AppScriptObject *child);
    // populateForm() for one node and its children; graph points are added to `graphs`.
    class FormWidgets;
    static void writeNode(AppScriptObject *node, QWidget *form, FormWidgets &widgets, QStringList &graphs);
    // A message with each widget it names (by object name) named by its caption instead.
    // The inputs it names by their names in the calculation contract are named
    // by the fields the window takes them from.
    static QString captioned(const QString &message, FormWidgets &widgets);

    QMap<QString, QVariant> m_properties;
    QMap<QString, AppScriptObject *> m_children;
    QHash<const AppScriptObject *, QString> m_keyOf; // the key each child is held at
    qint32 m_childCounter;
    AppScriptObject::Type m_type;
};

#endif
