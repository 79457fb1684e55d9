#include "app/app_scriptobject.h"
#include "gui/gui_lineedit.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QXmlStreamReader>
#include <QtTest>
#include <memory>

using Node = AppScriptObject;
using NodePtr = std::unique_ptr<AppScriptObject>;

// An element and its children as text, attributes in name order.
static QString canonical(const QDomElement &element)
{
    QStringList attributes;
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.size(); ++i)
        attributes << map.item(i).nodeName() + "=" + map.item(i).nodeValue();
    attributes.sort();
    QString out = "<" + element.tagName() + " " + attributes.join(" ") + ">";
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        out += canonical(child);
    return out + "</>";
}

// A form like the calculation forms: fields nested in a group box, as the Designer forms place them,
// each marked as typed by the user.
class ResultForm : public QWidget
{
public:
    ResultForm()
    {
        setObjectName("QtResultForm");
        auto *group = new QGroupBox(this);
        (new QVBoxLayout(this))->addWidget(group);
        auto *layout = new QVBoxLayout(group);
        auto *plain = new QLineEdit("old", group);
        auto *numeric = new GuiLineEdit(group);
        numeric->setFormat('f', 3);
        numeric->setText("7");
        numeric->setAccessibleName("Sigma");
        auto *label = new QLabel("old", group);
        auto *combo = new QComboBox(group);
        combo->addItem("first", 1);
        auto *table = new QTableWidget(2, 2, group);
        table->setItem(0, 0, new QTableWidgetItem("a"));
        table->setItem(1, 1, new QTableWidgetItem("b"));
        const QList<QPair<QWidget *, const char *>> fields = { { plain, "qtPlain" }, { numeric, "qtNumeric" },
            { label, "qtLabel" }, { combo, "qtCombo" }, { table, "qtTable" }, { new QGroupBox(group), "qtOther" } };
        for (const auto &f : fields) {
            f.first->setObjectName(f.second);
            f.first->setProperty("USER_ENTRY", true);
            layout->addWidget(f.first);
        }
    }

    // Everything the qt* widgets show, as "name.what=value" entries.
    QStringList snapshot() const
    {
        auto text = [](const QVariant &v) {
            return v.type() == QVariant::String ? v.toString() : QString("%1(%2)").arg(v.toString(), v.typeName());
        };
        QStringList out;
        for (QWidget *w : findChildren<QWidget *>(QRegularExpression("^qt[A-Z]"))) {
            const QString n = w->objectName() + ".";
            out << n + "style=" + w->styleSheet() << n + "tip=" + w->toolTip();
            for (const char *p : { "text", "LAST_VALUE", "USER_ENTRY" })
                if (w->property(p).isValid())
                    out << n + p + "=" + text(w->property(p));
            if (auto *c = qobject_cast<QComboBox *>(w)) {
                out << n + "current=" + QString::number(c->currentIndex());
                for (int i = 0; i < c->count(); ++i)
                    out << n + QString::number(i) + "=" + c->itemText(i) + ":" + text(c->itemData(i));
            }
            if (auto *t = qobject_cast<QTableWidget *>(w))
                for (int i = 0; i < 4; ++i)
                    if (QTableWidgetItem *item = t->item(i / 2, i % 2))
                        out << n + QString("%1,%2=%3/%4/").arg(i / 2).arg(i % 2).arg(item->text(), item->toolTip())
                                + (item->background().style() == Qt::NoBrush ? "" : item->background().color().name());
        }
        return out;
    }
};

class TstAppScriptObject : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;
    QScriptEngine m_engine;

    NodePtr eval(const QString &script) { return NodePtr(Node::fromQScriptValue(m_engine.evaluate(script))); }

    // The tree on one line: properties, then children; an array in brackets, an object in braces.
    static QString shape(const Node *n)
    {
        QStringList parts;
        for (auto it = n->properties().begin(); it != n->properties().end(); ++it)
            parts << it.key() + "=" + Node::textOf(it.value());
        for (auto it = n->children().begin(); it != n->children().end(); ++it)
            parts << it.key() + shape(it.value());
        const bool array = n->type() == Node::Array;
        return (array ? "[" : n->type() == Node::Object ? "{" : "(") + parts.join(' ') + (array ? "]" : "}");
    }

private slots:
    void keysAreUpperCasedAndValuesAreNotChildren()
    {
        Node node(Node::Object);
        node.setProperty("Row", 1);
        node.setProperty("ROW", 2);
        node.setProperty("COL", 0); // a literal zero must not be taken for a null child
        node.setProperty("rows", new Node(Node::Array));
        QCOMPARE(shape(&node), "{COL=0 ROW=2 ROWS[]}");
        QCOMPARE(node.property("row"), QVariant(2));
        QCOMPARE(node.nextUnknownChildTag(), "CHILD-0");
        QCOMPARE(node.nextUnknownChildTag(), "CHILD-1");

        Node plain("x", 1, Node::Normal);
        NodePtr child(new Node(Node::Object));
        TestLog::ignore(QtWarningMsg, "AppScriptObject::setProperty: a \"Normal\" node cannot hold the child child");
        plain.setProperty("child", child.get());
        QCOMPARE(shape(&plain), "(NAME=x VALUE=1}");
    }

    void ownsItsChildrenAndDeletesReplacedOnes()
    {
        // Under a leak checker this shows no leak; without one it must at least not crash.
        NodePtr root(new Node(Node::Object));
        auto *array = new Node(Node::Array);
        array->setProperty("0", new Node(Node::Object));
        array->setProperty("0", new Node(Node::Object)); // the first one is deleted here
        root->setProperty("rows", array);
        root->setProperty("rows", array); // the same child again: kept, not deleted
        QCOMPARE(root->child("ROWS"), array);
        root->setProperty("moved", array); // one node, one place
        TestLog::ignore(QtWarningMsg, "AppScriptObject::setProperty: a node cannot hold itself, key self");
        root->setProperty("self", root.get());
        QCOMPARE(shape(root.get()), "{MOVED[0{}]}");
    }

    void valuesBecomeTextWithFifteenDigits()
    {
        QCOMPARE(Node::textOf(0.1 + 0.2), "0.3");
        QCOMPARE(Node::textOf(1.0 / 3.0), "0.333333333333333");
        QCOMPARE(Node::textOf(true), "true");
        QCOMPARE(Node::textOf(QVariant()), "");
    }

    void scriptObjectBecomesTree()
    {
        NodePtr node = eval("({NAME: 'qtVbar', VALUE: 0.73, flag: true, nothing: null, '\\u03b1': {},"
                            " rows: [{Name: 'r0'}, {INDEX: 7}], list: [1.5, 2]})");
        QCOMPARE(node->property("VALUE").type(), QVariant::Double);
        QCOMPARE(node->property("FLAG").type(), QVariant::Bool);
        QVERIFY(node->hasProperty("NOTHING") && !node->property("NOTHING").isValid());
        // A member's own INDEX wins over its place; names keep letters outside Latin-1.
        QCOMPARE(shape(node.get()),
            QString::fromUtf8(
                "{FLAG=true NAME=qtVbar NOTHING= VALUE=0.73 LIST[0=1.5 1=2 LENGTH=2 PARENT_ATTRIBUTE=list]"
                " ROWS[LENGTH=2 PARENT_ATTRIBUTE=rows 0{INDEX=0 NAME=r0} 1{INDEX=7}]"
                " \u0391{PARENT_ATTRIBUTE=\u03b1}}"));
        QCOMPARE(shape(NodePtr(Node::fromQScriptValue(QScriptValue(5))).get()), "(}");
    }

    void selfReferenceDoesNotOverflow()
    {
        // Shared objects are not circular: both places are kept.
        NodePtr node = eval("var p = {v: 1}; ({NAME: 'qtX', first: p, second: p, list: [p]})");
        QCOMPARE(shape(node.get()),
            "{NAME=qtX FIRST{PARENT_ATTRIBUTE=first V=1} LIST[LENGTH=1 PARENT_ATTRIBUTE=list 0{INDEX=0 V=1}]"
            " SECOND{PARENT_ATTRIBUTE=second V=1}}");
        QVERIFY(eval("({NAME: 'x', f: function() {}})")->hasProperty("NAME"));
    }

    // A result is made into a tree whole, or not at all: a part of it would
    // be answered, or written into a form, as if it were the whole.
    void resultThatCannotBeWholeIsRefused_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("objects"); // in the tree, when it is whole
        QTest::addColumn<QString>("why"); // the ScriptError's VALUE, else empty

        const QString nested = "var r = {}; var c = r; for (var i = 1; i < %1; ++i) { c.n = {}; c = c.n; } r";
        const QString deep = "The result nests objects and arrays deeper than 64 levels, the most a result may; "
                             "none of it was answered.";
        QTest::newRow("64 levels") << nested.arg(64) << 64 << "";
        QTest::newRow("65 levels") << nested.arg(65) << 0 << deep;
        QTest::newRow("an array 3,000 deep")
            << "var r = []; var c = r; for (var i = 0; i < 3000; ++i) { c.push([]); c = c[0]; } r" << 0 << deep;
        const QString itself = "The result contains itself: its member %1 refers back to an object that holds it; a "
                               "result that contains itself cannot be answered whole, and none of it was answered.";
        QTest::newRow("itself as a member") << "var a = {NAME: 'qtX'}; a.me = a; a" << 0 << itself.arg("me");
        QTest::newRow("itself further down")
            << "var a = {NAME: 'qtX', list: [1, {v: 2}]}; a.list[1].up = a; a" << 0 << itself.arg("list.1.up");
        QTest::newRow("itself under a long name") << "var a = {}; a[new Array(1000001).join('m')] = {back: a}; a" << 0
                                                  << itself.arg(QString(40, 'm') + "....back");
        QTest::newRow("an array in itself") << "var a = [1, 2]; a.push(a); ({rows: a})" << 0 << itself.arg("rows.2");
        const QString many = "var a = []; for (var i = 0; i < %1; ++i) a.push({}); a";
        const QString tooMany = "The result holds more than 100000 objects (an object held at several places "
                                "counted at each), the most a result may; none of it was answered.";
        QTest::newRow("100,000 objects") << many.arg(100000) << 100001 << "";
        QTest::newRow("100,001 objects") << many.arg(100001) << 0 << tooMany;
        // Each level holds the level below twice: 2^40 places for 41 objects.
        QTest::newRow("shared at 2^40 places")
            << "var a = {NAME: 'qtX'}; for (var i = 0; i < 40; ++i) a = {l: a, r: a}; a" << 0 << tooMany;
    }
    void resultThatCannotBeWholeIsRefused()
    {
        QFETCH(QString, script);
        QFETCH(int, objects);
        QFETCH(QString, why);
        QString said = "(not set)";
        NodePtr node(Node::fromQScriptValue(m_engine.evaluate(script), {}, &said));
        QVERIFY(node);
        if (why.isEmpty()) {
            QVERIFY(said.isNull());
            const QString tree = shape(node.get());
            QCOMPARE(tree.count('{') + tree.count('['), objects);
            return;
        }
        QCOMPARE(said, why);
        QCOMPARE(shape(node.get()), "(NAME=ScriptError VALUE=" + why + "}");
    }

    // A flat array of tens of thousands of objects converts whole, and
    // in about the time of one pass: each child is stored without a search of
    // the earlier ones (a search per child took minutes here).
    void longArrayOfObjectsConvertsWhole()
    {
        NodePtr node
            = eval("var a = []; for (var i = 0; i < 60000; ++i) a.push({NAME: 'p' + i, VALUE: i}); ({rows: a})");
        const Node *rows = node->child("ROWS");
        QVERIFY(rows);
        QCOMPARE(rows->children().size(), 60000);
        QCOMPARE(rows->property("LENGTH").toInt(), 60000);
        QCOMPARE(rows->child("59999")->property("NAME").toString(), "p59999");
    }

    // Whatever index a row is given, a script array holds its rows in the
    // order of their indexes, from 0 and without holes; keys that are no
    // plain decimal number name members.
    void arrayRowsAreNumberedWithoutHoles_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("seen"); // the length, then each element's VALUE, then the members
        QTest::newRow("the largest index") << QStringList { "2147483647" } << "1 2147483647 |";
        QTest::newRow("sparse, in index order")
            << QStringList { "10", "2", "2147483646", "0" } << "4 0,2,10,2147483646 |";
        QTest::newRow("signs and blanks name members") << QStringList { "-2", "+3", " 4", "5" } << "1 5 |  4 +3 -2";
        QTest::newRow("past the largest number") << QStringList { "99999999999", "1" } << "1 1 | 99999999999";
    }
    void arrayRowsAreNumberedWithoutHoles()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, seen);
        Node table(Node::Array);
        for (const QString &key : keys)
            table.setProperty(key.toUtf8().constData(), new Node("row", key, Node::Normal));
        m_engine.globalObject().setProperty("table", table.toQScriptValue(&m_engine));
        const QScriptValue shown = m_engine.evaluate(
            "var values = [], members = [];"
            "for (var i = 0; i < Math.min(table.length, 100); ++i) values.push(table[i] ? table[i].VALUE : '-');"
            "for (var k in table) if (!/^(0|[1-9][0-9]*)$/.test(k) || Number(k) >= table.length) members.push(k);"
            "[table.length, values.join(), '|'].concat(members.sort()).join(' ')");
        QCOMPARE(shown.toString(), seen);
    }

    void writesAnswerElements()
    {
        NodePtr node = eval("({NAME: 'a', VALUE: 0.1 + 0.2, rows: [{NAME: 'r'}, {x: {y: 1}}], list: [4, 5]})");
        QDomDocument doc;
        QDomElement root = doc.createElement("OUTPUT");
        doc.appendChild(node->toXML(doc, root));
        QDomDocument reread;
        QVERIFY(reread.setContent(doc.toString())); // plain array items give well-formed elements
        root = reread.documentElement();
        QCOMPARE(root.tagName() + root.attribute("VALUE"), "OBJECT0.3");
        const QDomElement list = root.firstChildElement();
        QCOMPARE(list.tagName() + list.attribute("PARENT_ATTRIBUTE"), "ARRAYlist");
        QCOMPARE(list.firstChildElement().attribute("INDEX") + list.firstChildElement().attribute("VALUE"), "04");
        const QDomElement rows = list.nextSiblingElement();
        QCOMPARE(rows.attribute("LENGTH"), "2");
        QCOMPARE(rows.firstChildElement().tagName() + rows.firstChildElement().attribute("INDEX"), "OUTPUT0");
        QCOMPARE(rows.lastChildElement().tagName(), "OBJECT");

        // The text of an answer holds the same elements, and any text comes back as it was.
        node->setProperty("TEXT", QStringLiteral("\"quoted\" <a> & b\tc\nd\re ]]> \u00e9\u2713"));
        QDomDocument dom;
        QDomElement element = dom.createElement("OUTPUT");
        dom.appendChild(node->toXML(dom, element));
        QByteArray text;
        QVERIFY(node->appendXml(text, 0, 1 << 20));
        QDomDocument written;
        QVERIFY2(written.setContent(text), text.constData());
        QCOMPARE(canonical(written.documentElement()), canonical(dom.documentElement()));
        QCOMPARE(written.documentElement().attribute("TEXT"), node->property("TEXT").toString());
        // Past its limit it writes nothing.
        QByteArray cut("before");
        QVERIFY(!node->appendXml(cut, 0, text.size() + 5));
        QCOMPARE(cut, QByteArray("before"));
    }

    void writesAnAnswerEveryReaderReads()
    {
        // A script's text may hold characters XML cannot carry in any form (a
        // control character, U+FFFF, half a surrogate pair): the answer stays
        // XML, each such character read as U+FFFD; a whole pair is kept.
        NodePtr node = eval("({NAME: 'a', VALUE: 'x' + String.fromCharCode(1, 27, 0xfffe, 0xffff, 0xd800) + 'y'"
                            " + String.fromCharCode(0xdc00, 0xd83d, 0xde00)})");
        QByteArray text;
        QVERIFY(node->appendXml(text, 0, 1 << 20));
        QXmlStreamReader reader(text);
        QString value;
        while (reader.readNextStartElement())
            value = reader.attributes().value("VALUE").toString();
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        QCOMPARE(value,
            QString("x") + QString(5, QChar(QChar::ReplacementCharacter)) + "y" + QChar(QChar::ReplacementCharacter)
                + QString::fromUtf8("\xf0\x9f\x98\x80"));
    }

    void writesResultsIntoTheForm_data()
    {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("changes"); // what the form shows differently afterwards
        QTest::addColumn<QString>("reports"); // warnings logged, then message boxes, then graph points
        QTest::newRow("line edit") << "({NAME: 'qtPlain', VALUE: 1.5})"
                                   << "qtPlain.text=1.5 | qtPlain.LAST_VALUE=1.5 | qtPlain.USER_ENTRY=false(bool)"
                                   << QString();
        QTest::newRow("numeric field reformats")
            << "({NAME: 'qtNumeric', VALUE: 1.5})"
            << "qtNumeric.text=1.500 | qtNumeric.LAST_VALUE=1.5 | qtNumeric.USER_ENTRY=false(bool)" << QString();
        QTest::newRow("label, fifteen digits")
            << "({NAME: 'qtLabel', VALUE: 0.1 + 0.2})"
            << "qtLabel.text=0.3 | qtLabel.LAST_VALUE=0.3 | qtLabel.USER_ENTRY=false(bool)" << QString();
        QTest::newRow("other kind: marks only") << "({NAME: 'qtOther', VALUE: 3})"
                                                << "qtOther.LAST_VALUE=3 | qtOther.USER_ENTRY=false(bool)" << QString();
        QTest::newRow("style and tip; no value clears")
            << "({NAME: 'qtPlain', STYLESHEET: 'color: red;', TOOLTIP: 'computed'})"
            << "qtPlain.style=color: red; | qtPlain.tip=computed | qtPlain.text= | qtPlain.LAST_VALUE= | "
               "qtPlain.USER_ENTRY=false(bool)"
            << QString();
        QTest::newRow("unknown widget skipped, children in key order")
            << "({NAME: 'qtNothing', VALUE: 1, 'child-2': {NAME: 'qtLabel', VALUE: 'two'},"
               " 'child-10': {NAME: 'qtLabel', VALUE: 'ten'}})"
            << "qtLabel.text=two | qtLabel.LAST_VALUE=two | qtLabel.USER_ENTRY=false(bool)" << QString();
        QTest::newRow("graph points and nothing else")
            << "[{GRAPH: 'GraphShape', AXIS: 'x', INDEX: 3, DATA: 0.5, NAME: 'qtPlain', VALUE: 9, WARNING: 'no',"
               " child: {NAME: 'qtLabel', VALUE: 1}}, {GRAPH: 'pH Graph', AXIS: 'y', DATA: 2},"
               " {GRAPH: 'v', AXIS: 'x', VALUE: 0.25}, {GRAPH: 'g', AXIS: 'y', INDEX: null}]"
            << QString() << "GraphShape,x,3,0.5 | pH Graph,y,1,2 | v,x,2,0.25 | g,y,,";
        QTest::newRow("warning and error boxes")
            << "({WARNING: 'careful', ERROR: 'broken'})" << QString()
            << "warning Vornakel Warning: careful | critical Vornakel Error: broken";
        // A message names a figure by its caption (its accessible name, else its name's words), never by its widget.
        QTest::newRow("messages name figures by their captions")
            << "({WARNING: 'qtNumeric: the result is not a finite number.', ERROR: 'qtPlain and qtNoSuchField'})"
            << QString()
            << "warning Vornakel Warning: Sigma: the result is not a finite number. | critical Vornakel Error: plain "
               "and qtNoSuchField";
        // An input named by its contract name: in brackets after the module's words, which name it already, it is
        // left out; alone, it is named by the field the windows take it from, where the form has that field. Other
        // words stay.
        QTest::newRow("messages name the module's inputs by their fields")
            << "({WARNING: 'The concentration (Cp) is negative; k (So20w_k) \"x\" is not a number.\\nS20W is zero; "
               "S20Wx, Cp and (delta1) stay.'})"
            << QString()
            << "warning Vornakel Warning: The concentration is negative; k \"x\" is not a number.\n"
               "S20W is zero; S20Wx, Cp and (delta1) stay.";
        QTest::newRow("combo items appended; without ID the node ends")
            << "[{NAME: 'qtCombo', VALUE: 'three', ID: 3}, {NAME: 'qtCombo', VALUE: 'w', ID: 'x'},"
               " {NAME: 'qtCombo', VALUE: 'v', WARNING: 'w', child: {NAME: 'qtLabel', VALUE: 1}},"
               " {NAME: 'qtPlain', VALUE: 2}]"
            << "qtPlain.text=2 | qtPlain.LAST_VALUE=2 | qtPlain.USER_ENTRY=false(bool) | qtCombo.LAST_VALUE=w | "
               "qtCombo.USER_ENTRY=false(bool) | qtCombo.1=three:3(int) | qtCombo.2=w:0(int)"
            << "log AppScriptObject::populateForm: cannot add v to the combo box qtCombo without an ID";
        QTest::newRow("table cell")
            << "({NAME: 'qtTable', VALUE: 12.5, ROW: 1, COL: '1', STYLESHEET: 'background-color:rgb(#00ff00)',"
               " TOOLTIP: 'tip', child: {NAME: 'qtLabel', VALUE: 1}})"
            << "qtLabel.text=1 | qtLabel.LAST_VALUE=1 | qtLabel.USER_ENTRY=false(bool) | qtTable.1,1=12.5/tip/#00ff00"
            << QString();
        QTest::newRow("table cell, invalid colour")
            << "({NAME: 'qtTable', VALUE: 12.5, ROW: 1, COL: 1, STYLESHEET: 'background-color:rgb(#zz)'})"
            << "qtTable.1,1=12.5//"
            << "log AppScriptObject::populateForm: invalid background colour #zz for the table qtTable";
        QTest::newRow("table without COL ends the node")
            << "({NAME: 'qtTable', VALUE: 'v', ROW: 1, child: {NAME: 'qtLabel', VALUE: 1}})" << QString()
            << "log AppScriptObject::populateForm: cannot add v to the table qtTable without ROW and COL";
        QTest::newRow("table without that cell ends the node")
            << "({NAME: 'qtTable', VALUE: 'v', ROW: 1, COL: 0, child: {NAME: 'qtLabel', VALUE: 1}})" << QString()
            << "log AppScriptObject::populateForm: cannot add v to the table qtTable at a cell it does not have";
    }
    void writesResultsIntoTheForm()
    {
        QFETCH(QString, result);
        QFETCH(QString, changes);
        QFETCH(QString, reports);
        ResultForm form;
        TestModalAnswerer answerer;
        QSignalSpy edited(form.findChild<GuiLineEdit *>("qtNumeric"), &GuiLineEdit::sigValueEdited);
        const QStringList before = form.snapshot();
        NodePtr node = eval(result);
        // A warning expected is one logged: one that does not come fails the test.
        QStringList reported;
        for (const QString &report : reports.split(" | "))
            if (report.startsWith("log ")) {
                TestLog::ignore(QtWarningMsg, qPrintable(report.mid(4)));
                reported << report;
            }
        const QStringList graphs = Node::populateForm(QList<Node *>({ node.get() }), &form);
        for (const TestModalAnswerer::Seen &box : answerer.seen()) // a box blocks until answered
            reported << (box.icon == QMessageBox::Warning           ? "warning "
                                : box.icon == QMessageBox::Critical ? "critical "
                                                                    : "")
                    + box.title + ": " + box.text;
        QCOMPARE((reported + graphs).join(" | "), reports);
        QStringList changed;
        for (const QString &entry : form.snapshot())
            if (!before.contains(entry))
                changed << entry;
        QCOMPARE(changed.join(" | "), changes);
        QCOMPARE(edited.count(), 0); // a written result is no user edit
    }
};

TEST_MAIN(TstAppScriptObject)
#include "tst_app_scriptobject.moc"
