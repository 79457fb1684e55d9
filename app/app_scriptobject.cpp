#include "app/app_scriptobject.h"

#include "app/app_calculationcontract.h"
#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_scriptmessages.h"
#include "app/app_text.h"

#include <QColor>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QScriptEngine>
#include <QScriptValueIterator>
#include <QTableWidget>
#include <QVector>
#include <QWidget>

#include <algorithm>

namespace {

// Deeper results than this are refused: no calculation returns more than a
// few levels, and the bound keeps a runaway script from overflowing the stack.
// Requests may nest their inputs as deep.
const int MaxDepth = 64;

// An object shared at many places is converted at each of them; a script that
// nests shared objects can so ask for more nodes than memory holds. No
// calculation returns more than some thousands.
const int MaxNodes = 100000;

QString upperKey(const char *key)
{
    // UTF-8 reads ASCII keys as ASCII and keeps other member names intact.
    return QString::fromUtf8(key).toUpper();
}

// A script member's name as the key setProperty() stores it under. The names
// of results are ASCII and need no pass through UTF-8, which for a result of
// hundreds of graph points took much of the conversion's time.
QString memberKey(const QString &name)
{
    for (const QChar c : name) {
        if (c.isNull() || c.unicode() >= 0x80)
            return upperKey(name.toUtf8().constData());
    }
    return name.toUpper();
}

// An array element's key: plain decimal digits, as a script names its elements
// ("-1", "+1" and " 1" name members, not elements).
bool isIndexKey(const QString &key, int *index)
{
    if (key.isEmpty())
        return false;
    for (const QChar c : key) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int i = key.toInt(&ok, 10);
    if (index)
        *index = i;
    return ok;
}

// Whether a property key can be an attribute name. Keys that cannot (the
// numbered elements of a script array of plain values) are written as OUTPUT
// elements with INDEX and VALUE, the way an array's object elements are.
// Checked by hand: a pattern built for every attribute of a large answer took
// most of the time of writing it.
bool isXmlName(const QString &key)
{
    return !key.isEmpty() && (key.at(0).isLetter() || key.at(0) == QLatin1Char('_'))
        && std::all_of(key.cbegin(), key.cend(), [](QChar c) {
               return (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                   || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                   || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') || c == QLatin1Char('.')
                   || c == QLatin1Char('-');
           });
}

// Where a member lies in a result, as a message names it: the names from the
// top down, each cut to a few words, since a module may name its members
// with texts of megabytes.
QString memberPath(const QStringList &names)
{
    const int shown = 40;
    QStringList cut;
    for (const QString &name : names)
        cut << (name.size() > shown ? AppText::leftWhole(name, shown) + QStringLiteral("...") : name);
    return cut.join(QLatin1Char('.'));
}

// How often a conversion that may be given up asks whether it is over its time.
const int kMembersPerCheck = 256;

QVariant variantOf(const QScriptValue &value)
{
    if (value.isBool())
        return QVariant(value.toBool());
    if (value.isNumber())
        return QVariant(value.toNumber());
    if (value.isString())
        return QVariant(value.toString());
    return QVariant(); // null, undefined
}

} // namespace

AppScriptObject::AppScriptObject(AppScriptObject::Type type) : m_childCounter(0), m_type(type) { }

AppScriptObject::AppScriptObject(QString name, QVariant value, AppScriptObject::Type type)
    : m_childCounter(0), m_type(type)
{
    m_properties.insert(QStringLiteral("NAME"), QVariant(name));
    m_properties.insert(QStringLiteral("VALUE"), value);
}

AppScriptObject::~AppScriptObject()
{
    qDeleteAll(m_children);
    m_children.clear();
    m_keyOf.clear();
    m_properties.clear();
}

AppScriptObject::Type AppScriptObject::type() const
{
    return m_type;
}

void AppScriptObject::setProperty(const char *key, const QVariant &value)
{
    m_properties.insert(upperKey(key), value);
}

void AppScriptObject::setProperty(const char *key, AppScriptObject *child)
{
    if (m_type == Normal) {
        qCWarning(lcApp).noquote() << "AppScriptObject::setProperty: a \"Normal\" node cannot hold the child" << key;
        return;
    }
    if (!child)
        return;
    if (child == this) {
        qCWarning(lcApp).noquote() << "AppScriptObject::setProperty: a node cannot hold itself, key" << key;
        return;
    }
    holdChild(upperKey(key), child);
}

void AppScriptObject::holdChild(const QString &k, AppScriptObject *child)
{
    // One node, one place: a child moved to another key is not kept twice. The
    // key is looked up, not searched for: a search made filling an array of a
    // thousand rows take a pass over all earlier rows for each one.
    const auto held = m_keyOf.constFind(child);
    if (held != m_keyOf.constEnd() && *held != k)
        m_children.remove(*held);
    AppScriptObject *replaced = m_children.value(k, nullptr);
    m_children.insert(k, child);
    m_keyOf.insert(child, k);
    if (replaced && replaced != child) {
        m_keyOf.remove(replaced);
        delete replaced;
    }
}

QString AppScriptObject::nextUnknownChildTag()
{
    return QStringLiteral("CHILD-") + QString::number(m_childCounter++);
}

bool AppScriptObject::hasProperty(const QString &key) const
{
    return m_properties.contains(key.toUpper());
}

QVariant AppScriptObject::property(const QString &key) const
{
    return m_properties.value(key.toUpper());
}

AppScriptObject *AppScriptObject::child(const QString &key) const
{
    return m_children.value(key.toUpper(), nullptr);
}

QString AppScriptObject::textOf(const QVariant &value)
{
    if (!value.isValid())
        return QString::fromLatin1("");
    switch (static_cast<int>(value.type())) {
    case QMetaType::Double:
        return AppNumber::toText(value.toDouble());
    case QMetaType::Float:
        return AppNumber::toText(static_cast<double>(value.toFloat()));
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        break;
    }
    const QString text = value.toString();
    return text.isNull() ? QString::fromLatin1("") : text;
}

QScriptValue AppScriptObject::toQScriptValue(QScriptEngine *engine)
{
    if (!engine)
        return QScriptValue();
    QScriptValue out = (m_type == Array) ? engine->newArray(0) : engine->newObject();
    // An array's elements come in the order of their indexes, numbered from 0
    // without holes: the length is the number of elements, whatever index a
    // request gave them (2147483647 made a script array of that length, which
    // a script's loop over it walked slot by slot).
    QVector<QPair<int, QScriptValue>> elements;
    const auto put = [&](const QString &key, const QScriptValue &value) {
        int index = 0;
        if (m_type == Array && isIndexKey(key, &index))
            elements.append(qMakePair(index, value));
        else
            out.setProperty(key, value);
    };
    for (auto it = m_properties.constBegin(); it != m_properties.constEnd(); ++it)
        put(it.key(), QScriptValue(textOf(it.value())));
    for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it)
        put(it.key(), it.value()->toQScriptValue(engine));
    std::stable_sort(elements.begin(), elements.end(),
        [](const QPair<int, QScriptValue> &a, const QPair<int, QScriptValue> &b) { return a.first < b.first; });
    for (int i = 0; i < elements.size(); ++i)
        out.setProperty(quint32(i), elements.at(i).second);
    return out;
}

// What a conversion carries down the tree: the script objects from the top
// of the result down to the value and the members they are held at, so that
// an object that contains itself (directly or further down) is seen, the
// objects it may still make, and whether it is to give up, and why.
struct AppScriptObject::Filling
{
    QList<QScriptValue> path;
    QStringList names; // of the members on the path, below the top
    int budget = MaxNodes;
    std::function<bool()> overTime;
    int members = 0;
    bool stopped = false;
    QString refusal;

    bool over() const { return stopped || !refusal.isNull(); }
};

AppScriptObject *AppScriptObject::fromQScriptValue(
    const QScriptValue &value, const std::function<bool()> &overTime, QString *whyNotWhole)
{
    Type type = Normal;
    if (value.isArray())
        type = Array;
    else if (value.isObject())
        type = Object;
    auto *node = new AppScriptObject(type);
    Filling filling;
    filling.overTime = overTime;
    fill(node, value, filling);
    if (whyNotWhole)
        *whyNotWhole = filling.refusal;
    if (filling.over()) {
        delete node;
        // A part of a result would read as the whole of it: the answer, the
        // window or a page would show it as if nothing were missing.
        return filling.stopped
            ? nullptr
            : new AppScriptObject(QStringLiteral("ScriptError"), filling.refusal, AppScriptObject::Normal);
    }
    return node;
}

void AppScriptObject::fill(AppScriptObject *node, const QScriptValue &value, Filling &filling)
{
    if (!value.isObject() || filling.over())
        return;
    if (filling.path.size() >= MaxDepth) {
        filling.refusal = QStringLiteral("The result nests objects and arrays deeper than %1 levels, the most a "
                                         "result may; none of it was answered.")
                              .arg(MaxDepth);
        return;
    }
    filling.path.append(value);
    const bool parentIsArray = value.isArray();
    QScriptValueIterator it(value);
    while (it.hasNext() && !filling.over()) {
        if (filling.overTime && ++filling.members % kMembersPerCheck == 0 && filling.overTime()) {
            filling.stopped = true;
            break;
        }
        it.next();
        const QString name = it.name();
        const QString key = memberKey(name);
        const QScriptValue member = it.value();
        if (!member.isObject()) {
            node->m_properties.insert(key, variantOf(member));
            continue;
        }
        for (const QScriptValue &seen : qAsConst(filling.path)) {
            if (seen.strictlyEquals(member)) {
                filling.refusal = QStringLiteral("The result contains itself: its member %1 refers back to an "
                                                 "object that holds it; a result that contains itself cannot be "
                                                 "answered whole, and none of it was answered.")
                                      .arg(memberPath(filling.names + QStringList { name }));
                break;
            }
        }
        if (filling.over())
            break;
        if (--filling.budget < 0) {
            filling.refusal = QStringLiteral("The result holds more than %1 objects (an object held at several "
                                             "places counted at each), the most a result may; none of it was "
                                             "answered.")
                                  .arg(MaxNodes);
            break;
        }
        auto *child = new AppScriptObject(member.isArray() ? Array : Object);
        if (parentIsArray && isIndexKey(name, nullptr))
            child->m_properties.insert(QStringLiteral("INDEX"), QVariant(name));
        else
            child->m_properties.insert(QStringLiteral("PARENT_ATTRIBUTE"), QVariant(name));
        filling.names.append(name);
        fill(child, member, filling);
        filling.names.removeLast();
        node->holdChild(key, child);
    }
    filling.path.removeLast();
}

QString AppScriptObject::toString()
{
    // Appended piece by piece: every call's inputs are dumped for the trace.
    QString out;
    for (auto it = m_properties.constBegin(); it != m_properties.constEnd(); ++it) {
        out += QLatin1Char('\n');
        out += it.key();
        out += QLatin1String(": ");
        out += textOf(it.value());
    }
    if (!m_children.isEmpty()) {
        out += QLatin1String("\n[ARRAY]");
        for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it) {
            out += QLatin1String("\n-----");
            out += it.value()->toString();
        }
    }
    if (out.isNull())
        out = QStringLiteral("\n[NULL]");
    return out;
}

QString AppScriptObject::elementName(bool numberedItems) const
{
    if (m_children.isEmpty() && !numberedItems)
        return QStringLiteral("OUTPUT");
    return m_type == Array ? QStringLiteral("ARRAY") : QStringLiteral("OBJECT");
}

QDomElement AppScriptObject::toXML(QDomDocument &document, QDomElement &element)
{
    QList<QPair<QString, QString>> numbered;
    for (auto it = m_properties.constBegin(); it != m_properties.constEnd(); ++it) {
        if (isXmlName(it.key()))
            element.setAttribute(it.key(), textOf(it.value()));
        else
            numbered << qMakePair(it.key(), textOf(it.value()));
    }
    for (const auto &entry : qAsConst(numbered)) {
        QDomElement item = document.createElement(QStringLiteral("OUTPUT"));
        item.setAttribute(QStringLiteral("INDEX"), entry.first);
        item.setAttribute(QStringLiteral("VALUE"), entry.second);
        element.appendChild(item);
    }
    for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it) {
        QDomElement childElement = document.createElement(QStringLiteral("OUTPUT"));
        it.value()->toXML(document, childElement);
        element.appendChild(childElement);
    }
    element.setTagName(elementName(!numbered.isEmpty()));
    return element;
}

void AppScriptObject::appendAttributeText(QByteArray &out, const QString &text)
{
    // Escaped by runs: replacing each character where it stands moves the
    // rest of the text every time, which made a value of a million quotes
    // take most of a minute.
    const QChar *begin = text.constData();
    const int n = text.size();
    int run = 0;
    for (int i = 0; i < n; ++i) {
        const char *reference = nullptr;
        const ushort u = begin[i].unicode();
        switch (u) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        case '\t':
            reference = "&#x9;";
            break;
        case '\n':
            reference = "&#xa;";
            break;
        case '\r':
            reference = "&#xd;";
            break;
        default:
            // A whole surrogate pair is one character; what XML cannot carry
            // in any form, not even as a reference, would make the whole
            // answer unreadable: U+FFFD stands for it.
            if (begin[i].isHighSurrogate() && i + 1 < n && begin[i + 1].isLowSurrogate()) {
                ++i;
                continue;
            }
            if (u >= 0x20 && u != 0xfffe && u != 0xffff && !QChar::isSurrogate(u))
                continue;
            reference = "\xef\xbf\xbd";
            break;
        }
        if (i > run)
            out += QStringView(begin + run, i - run).toUtf8();
        out += reference;
        run = i + 1;
    }
    if (n > run)
        out += QStringView(begin + run, n - run).toUtf8();
}

bool AppScriptObject::appendXml(QByteArray &out, int depth, qint64 limit) const
{
    // A value's text takes at least as many bytes as it has characters: one
    // that cannot fit is not escaped at all.
    const auto attribute = [&out, limit](const QString &name, const QString &value) {
        if (out.size() + name.size() + value.size() + 4 > limit)
            return false;
        out += ' ';
        out += name.toUtf8();
        out += "=\"";
        appendAttributeText(out, value);
        out += '"';
        return out.size() <= limit;
    };
    const int start = out.size();
    const auto fail = [&out, start]() {
        out.truncate(start);
        return false;
    };
    const QByteArray indent(depth, ' ');
    QList<QPair<QString, QString>> numbered;
    const QByteArray name
        = elementName(std::any_of(m_properties.keyBegin(), m_properties.keyEnd(), [](const QString &key) {
              return !isXmlName(key);
          })).toLatin1();
    out += indent;
    out += '<';
    out += name;
    for (auto it = m_properties.constBegin(); it != m_properties.constEnd(); ++it) {
        if (!isXmlName(it.key()))
            numbered << qMakePair(it.key(), textOf(it.value()));
        else if (!attribute(it.key(), textOf(it.value())))
            return fail();
    }
    if (numbered.isEmpty() && m_children.isEmpty()) {
        out += "/>\n";
        return out.size() <= limit || fail();
    }
    out += ">\n";
    const QByteArray itemIndent(depth + 1, ' ');
    for (const auto &entry : qAsConst(numbered)) {
        out += itemIndent;
        out += "<OUTPUT";
        if (!attribute(QStringLiteral("INDEX"), entry.first) || !attribute(QStringLiteral("VALUE"), entry.second))
            return fail();
        out += "/>\n";
    }
    for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it) {
        if (!it.value()->appendXml(out, depth + 1, limit))
            return fail();
    }
    out += indent;
    out += "</";
    out += name;
    out += ">\n";
    return out.size() <= limit || fail();
}

// The widgets of a form by object name, found in one pass in the order in
// which findChild() looks (a parent's children before their own children), so
// that of two widgets of one name the one findChild() gives is found. A result
// of many named figures searched the whole form once for each. A name not
// found so, or whose widget has gone since, is searched for as before.
class AppScriptObject::FormWidgets
{
public:
    explicit FormWidgets(QWidget *form) : m_form(form) { }

    QWidget *find(const QString &name)
    {
        if (!m_indexed) {
            index(m_form);
            m_indexed = true;
        }
        const QPointer<QWidget> known = m_byName.value(name);
        return known ? known.data() : m_form->findChild<QWidget *>(name);
    }

    // A box's event loop may have made or deleted widgets.
    void forget()
    {
        m_byName.clear();
        m_indexed = false;
    }

private:
    void index(const QObject *parent)
    {
        const QObjectList &children = parent->children();
        for (QObject *child : children) {
            if (child->isWidgetType() && !m_byName.contains(child->objectName()))
                m_byName.insert(child->objectName(), static_cast<QWidget *>(child));
        }
        for (const QObject *child : children)
            index(child);
    }

    QWidget *m_form;
    QHash<QString, QPointer<QWidget>> m_byName;
    bool m_indexed = false;
};

namespace {

// One of the names given, as a whole word.
QString anyOf(QStringList names)
{
    // The longest first, so that "S20W" is not taken for "S".
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (QString &name : names)
        name = QRegularExpression::escape(name);
    return QStringLiteral("(%1)").arg(names.join(QLatin1Char('|')));
}

} // namespace

QString AppScriptObject::captioned(const QString &message, FormWidgets &widgets)
{
    // A module names the figure it speaks of by the object name it writes to;
    // a person knows it by its caption: the widget's accessible name, or else
    // the words of its name ("qtSedEquilibriumSigma": "sed equilibrium sigma").
    // A word that names no widget of the form is left as it is.
    static const QRegularExpression objectName(QStringLiteral("\\bqt[A-Za-z0-9_]+"));
    static const QRegularExpression wordStart(QStringLiteral("(?<=[a-z0-9])(?=[A-Z])"));
    // It names an input by the name the calculation contract gives it, which
    // a window's reader does not know: in brackets after the module's own
    // words ("k (So20w_k)") the words name it already; alone ("S20W is zero")
    // it stands for the field the window took it from.
    static const QRegularExpression bracketedInput(
        QStringLiteral("\\s*\\(%1\\)").arg(anyOf(AppCalculationContract::inputNames())));
    static const QRegularExpression fieldInput(
        QStringLiteral("\\b%1\\b").arg(anyOf(AppCalculationContract::inputFields().keys())));
    const auto replaced = [](const QString &text, const QRegularExpression &pattern,
                              const std::function<QString(const QString &)> &with) {
        QString out;
        int last = 0;
        QRegularExpressionMatchIterator it = pattern.globalMatch(text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            out += text.midRef(last, match.capturedStart() - last);
            out += with(match.captured());
            last = match.capturedEnd();
        }
        out += text.midRef(last);
        return out;
    };
    const auto caption = [&widgets](const QString &name, const QString &otherwise) {
        const QWidget *widget = widgets.find(name);
        if (!widget)
            return otherwise;
        const QString caption = widget->accessibleName();
        return caption.isEmpty() ? name.mid(2).replace(wordStart, QStringLiteral(" ")).toLower() : caption;
    };
    QString text = message;
    text.remove(bracketedInput);
    text = replaced(text, fieldInput,
        [&](const QString &input) { return caption(AppCalculationContract::inputFields().value(input), input); });
    return replaced(text, objectName, [&](const QString &name) { return caption(name, name); });
}

void AppScriptObject::writeNode(AppScriptObject *node, QWidget *form, FormWidgets &widgets, QStringList &graphs)
{
    if (!node || !form)
        return;

    const QMap<QString, QVariant> &props = node->m_properties;
    const QString graphKey = QStringLiteral("GRAPH");
    if (props.contains(graphKey)) {
        // The point's value travels as DATA; a point that carries only VALUE
        // is read from that, so neither way of writing a module loses it.
        const QString dataKey
            = props.contains(QStringLiteral("DATA")) ? QStringLiteral("DATA") : QStringLiteral("VALUE");
        graphs << QStringLiteral("%1,%2,%3,%4")
                      .arg(textOf(props.value(graphKey)), textOf(props.value(QStringLiteral("AXIS"))),
                          textOf(props.value(QStringLiteral("INDEX"))), textOf(props.value(dataKey)));
        return;
    }

    const QString nameKey = QStringLiteral("NAME");
    if (!props.contains(nameKey)) {
        // Containers (the top of a result, its objects and arrays) carry no NAME of their own.
        if (node->m_children.isEmpty())
            qCDebug(lcApp).noquote() << "AppScriptObject::populateForm" << (form ? form->objectName() : QString())
                                     << "- a node without NAME is not shown:" << node->toString().simplified();
    } else {
        const QString name = textOf(props.value(nameKey));
        QWidget *widget = widgets.find(name);
        if (!widget) {
            qCDebug(lcApp) << "AppScriptObject::populateForm" << form->objectName() << "has no widget" << name;
        } else {
            const QString text = props.contains(QStringLiteral("VALUE")) ? textOf(props.value(QStringLiteral("VALUE")))
                                                                         : QString::fromLatin1("");
            const bool hasStyle = props.contains(QStringLiteral("STYLESHEET"));
            const QString style = hasStyle ? textOf(props.value(QStringLiteral("STYLESHEET"))) : QString();
            const bool hasTip = props.contains(QStringLiteral("TOOLTIP"));
            const QString tip = hasTip ? textOf(props.value(QStringLiteral("TOOLTIP"))) : QString();
            const QString className = QString::fromLatin1(widget->metaObject()->className());

            if (className == QLatin1String("QLineEdit") || className == QLatin1String("GuiLineEdit")) {
                static_cast<QLineEdit *>(widget)->setText(text);
            } else if (className == QLatin1String("QLabel")) {
                static_cast<QLabel *>(widget)->setText(text);
            } else if (className == QLatin1String("QComboBox")) {
                auto *combo = static_cast<QComboBox *>(widget);
                if (!props.contains(QStringLiteral("ID"))) {
                    qCWarning(lcApp).noquote() << "AppScriptObject::populateForm: cannot add" << text
                                               << "to the combo box" << name << "without an ID";
                    return;
                }
                combo->insertItem(combo->count(), text, QVariant(props.value(QStringLiteral("ID")).toInt()));
            } else if (className == QLatin1String("QTableWidget")) {
                auto *table = form->findChild<QTableWidget *>(name);
                if (!props.contains(QStringLiteral("ROW")) || !props.contains(QStringLiteral("COL"))) {
                    qCWarning(lcApp).noquote() << "AppScriptObject::populateForm: cannot add" << text << "to the table"
                                               << name << "without ROW and COL";
                    return;
                }
                QTableWidgetItem *item = table ? table->item(props.value(QStringLiteral("ROW")).toInt(),
                                             props.value(QStringLiteral("COL")).toInt())
                                               : nullptr;
                if (!item) {
                    qCWarning(lcApp).noquote() << "AppScriptObject::populateForm: cannot add" << text << "to the table"
                                               << name << "at a cell it does not have";
                    return;
                }
                item->setText(text);
                if (hasStyle && style.contains(QLatin1String("background-color:rgb(#"))) {
                    const QString colourText = style.section(QRegularExpression(QStringLiteral("[()]")), 1, 1);
                    QColor colour;
                    colour.setNamedColor(colourText);
                    if (colour.isValid())
                        item->setBackground(QBrush(colour, Qt::SolidPattern));
                    else
                        qCWarning(lcApp).noquote() << "AppScriptObject::populateForm: invalid background colour"
                                                   << colourText << "for the table" << name;
                }
                if (hasTip)
                    item->setToolTip(tip);
            }

            if (className != QLatin1String("QTableWidget")) {
                widget->setProperty(AppKeys::lastValue, QVariant(text));
                widget->setProperty(AppKeys::userEntry, QVariant(false));
                if (hasStyle)
                    widget->setStyleSheet(style);
                if (hasTip)
                    widget->setToolTip(tip);
            }
        }
    }

    // Within a calculation pass the pass shows them, each once.
    AppScriptMessages *pass = AppScriptMessages::current();
    if (props.contains(QStringLiteral("WARNING"))) {
        const QString text = captioned(textOf(props.value(QStringLiteral("WARNING"))), widgets);
        if (pass) {
            pass->addWarning(text);
        } else {
            QMessageBox::warning(form, QStringLiteral("Vornakel Warning"), text, QMessageBox::Ok);
            widgets.forget();
        }
    }
    if (props.contains(QStringLiteral("ERROR"))) {
        const QString text = captioned(textOf(props.value(QStringLiteral("ERROR"))), widgets);
        if (pass) {
            pass->addError(text);
        } else {
            QMessageBox::critical(form, QStringLiteral("Vornakel Error"), text, QMessageBox::Ok);
            widgets.forget();
        }
    }

    for (auto it = node->m_children.constBegin(); it != node->m_children.constEnd(); ++it)
        writeNode(it.value(), form, widgets, graphs);
}

QStringList AppScriptObject::populateForm(QList<AppScriptObject *> nodes, QWidget *form)
{
    QStringList graphs;
    FormWidgets widgets(form);
    for (AppScriptObject *node : nodes)
        writeNode(node, form, widgets, graphs);
    return graphs;
}

QStringList AppScriptObject::populateForm(AppScriptObject *node, QWidget *form)
{
    QStringList graphs;
    FormWidgets widgets(form);
    writeNode(node, form, widgets, graphs);
    return graphs;
}
