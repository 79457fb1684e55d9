#include "app/app_scriptobject.h"
#include "gui/gui_lineedit.h"

#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_stderrcapture.h"

#include <QComboBox>
#include <QDomDocument>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScriptEngine>
#include <QSignalSpy>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>
#include <memory>

using Node = AppScriptObject;
using NodePtr = std::unique_ptr<AppScriptObject>;

// A form like the calculation forms: fields nested in a group box, as the
// Designer forms place them.
class ResultForm : public QWidget
{
public:
    ResultForm()
    {
        setObjectName(QStringLiteral("QtResultForm"));
        auto *layout = new QVBoxLayout(this);
        auto *group = new QGroupBox(this);
        auto *inner = new QVBoxLayout(group);
        layout->addWidget(group);
        auto add = [&](QWidget *w, const char *name) {
            w->setObjectName(QString::fromLatin1(name));
            inner->addWidget(w);
        };
        add(new QLineEdit(group), "qtPlain");
        auto *numeric = new GuiLineEdit(group);
        numeric->setFormat('f', 3);
        add(numeric, "qtNumeric");
        add(new QLabel(group), "qtLabel");
        auto *combo = new QComboBox(group);
        combo->addItem(QStringLiteral("first"), 1);
        add(combo, "qtCombo");
        auto *table = new QTableWidget(2, 2, group);
        table->setItem(0, 0, new QTableWidgetItem(QStringLiteral("a")));
        table->setItem(1, 1, new QTableWidgetItem(QStringLiteral("b")));
        add(table, "qtTable");
        add(new QGroupBox(group), "qtOtherKind");
    }
    template<class T> T *w(const char *name) { return findChild<T *>(QString::fromLatin1(name)); }
};

class TstAppScriptObject : public QObject
{
    Q_OBJECT

private:
    TestSettings m_settings;

    static NodePtr result(
        std::initializer_list<std::pair<const char *, QVariant>> props, Node::Type type = Node::Object)
    {
        NodePtr node(new Node(type));
        for (const auto &p : props)
            node->setProperty(p.first, p.second);
        return node;
    }

private slots:
    // ------------------------------------------------------------ the tree

    void scalarInputHoldsNameAndValue()
    {
        Node node(QStringLiteral("Mr"), 5, Node::Normal);
        QCOMPARE(node.type(), Node::Normal);
        QCOMPARE(node.properties().keys(), QStringList({ "NAME", "VALUE" }));
        node.setProperty("value", 7.5);
        QCOMPARE(node.properties().size(), 2);
        QCOMPARE(node.property("VALUE").toDouble(), 7.5);
    }

    void keysAreUpperCased()
    {
        Node node(Node::Object);
        node.setProperty("Row", 1);
        node.setProperty("ROW", 2);
        QCOMPARE(node.properties().keys(), QStringList({ "ROW" }));
        QCOMPARE(node.property("ROW").toInt(), 2);
        QCOMPARE(node.property("row").toInt(), 2);
        QVERIFY(node.hasProperty(QStringLiteral("Row")));
        node.setProperty("rows", new Node(Node::Array));
        QCOMPARE(node.children().keys(), QStringList({ "ROWS" }));
    }

    void plainNodeRefusesChildren()
    {
        Node node(QStringLiteral("x"), 1, Node::Normal);
        NodePtr child(new Node(Node::Object));
        TestStderrCapture err;
        node.setProperty("child", child.get());
        QCOMPARE(err.text(), QStringLiteral("Error: \"Normal\" ScriptObject cannot contain child objects\n"));
        QVERIFY(node.children().isEmpty());
    }

    void ownsItsChildrenAndDeletesReplacedOnes()
    {
        // Run under a leak checker this shows no leak; without one it must at least not crash.
        NodePtr root(new Node(Node::Object));
        auto *array = new Node(Node::Array);
        array->setProperty("0", new Node(Node::Object));
        array->setProperty("0", new Node(Node::Object)); // the first one is deleted here
        root->setProperty("rows", array);
        root->setProperty("rows", array); // the same child again: kept, not deleted
        QCOMPARE(root->child(QStringLiteral("ROWS")), array);
        root->setProperty("moved", array); // one node, one place
        QCOMPARE(root->children().keys(), QStringList({ "MOVED" }));
        root->setProperty("self", root.get());
        QCOMPARE(root->children().size(), 1);
    }

    void literalZeroIsAValueNotAChild()
    {
        Node node(Node::Object);
        node.setProperty("COL", 0);
        node.setProperty("FLAG", true);
        QCOMPARE(node.property("COL"), QVariant(0));
        QCOMPARE(node.property("FLAG"), QVariant(true));
        QVERIFY(node.children().isEmpty());
    }

    void unknownChildTagsCount()
    {
        Node node(Node::Array);
        QCOMPARE(node.nextUnknownChildTag(), QStringLiteral("CHILD-0"));
        QCOMPARE(node.nextUnknownChildTag(), QStringLiteral("CHILD-1"));
        QCOMPARE(node.nextUnknownChildTag(), QStringLiteral("CHILD-2"));
    }

    void dumpsAsText()
    {
        QCOMPARE(Node(Node::Object).toString(), QStringLiteral("\n[NULL]"));
        QCOMPARE(Node(QStringLiteral("Mr"), 5, Node::Normal).toString(), QStringLiteral("\nNAME: Mr\nVALUE: 5"));
        Node parent(Node::Object);
        parent.setProperty("a", new Node(QStringLiteral("x"), 0.1 + 0.2, Node::Object));
        QCOMPARE(parent.toString(), QStringLiteral("\n[ARRAY]\n-----\nNAME: x\nVALUE: 0.3"));
    }

    void valuesBecomeText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("double 7") << QVariant(7.0) << "7";
        QTest::newRow("double 0.73") << QVariant(0.73) << "0.73";
        QTest::newRow("fifteen digits") << QVariant(0.1 + 0.2) << "0.3";
        QTest::newRow("third") << QVariant(1.0 / 3.0) << "0.333333333333333";
        QTest::newRow("small") << QVariant(1e-6) << "1e-06";
        QTest::newRow("int") << QVariant(42) << "42";
        QTest::newRow("bool") << QVariant(true) << "true";
        QTest::newRow("string") << QVariant(QStringLiteral("abc")) << "abc";
        QTest::newRow("invalid") << QVariant() << "";
    }
    void valuesBecomeText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(Node::textOf(value), text);
        QScriptEngine engine;
        Node input(QStringLiteral("v"), value, Node::Normal);
        const QScriptValue script = input.toQScriptValue(&engine);
        QVERIFY(script.property(QStringLiteral("VALUE")).isString());
        QCOMPARE(script.property(QStringLiteral("VALUE")).toString(), text);
        QCOMPARE(script.property(QStringLiteral("NAME")).toString(), QStringLiteral("v"));
    }

    // ---------------------------------------------- script value conversion

    void numberedChildrenMakeAnArrayOnlyInAnArrayNode()
    {
        QScriptEngine engine;
        for (Node::Type type : { Node::Object, Node::Array }) {
            Node node(type);
            node.setProperty("0", new Node(QStringLiteral("a"), 1, Node::Object));
            node.setProperty("1", new Node(QStringLiteral("b"), 2, Node::Object));
            node.setProperty("rows", new Node(Node::Object));
            engine.globalObject().setProperty(QStringLiteral("input"), node.toQScriptValue(&engine));
            QCOMPARE(engine.evaluate(QStringLiteral("Array.isArray(input)")).toBool(), type == Node::Array);
            QCOMPARE(engine.evaluate(QStringLiteral("input.length")).toString(),
                type == Node::Array ? QStringLiteral("2") : QStringLiteral("undefined"));
            QCOMPARE(
                engine.evaluate(QStringLiteral("input[1].NAME + input[1].VALUE")).toString(), QStringLiteral("b2"));
            QCOMPARE(engine.evaluate(QStringLiteral("typeof input.ROWS")).toString(), QStringLiteral("object"));
        }
    }

    void scriptArrayOfNumbersBecomesProperties()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(engine.evaluate(QStringLiteral("[1.5, 2]"))));
        QCOMPARE(node->type(), Node::Array);
        QCOMPARE(node->properties().keys(), QStringList({ "0", "1", "LENGTH" }));
        QCOMPARE(node->property("0").toDouble(), 1.5);
        QVERIFY(node->children().isEmpty());
    }

    void scriptObjectBecomesTree()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(engine.evaluate(QStringLiteral(
            "({NAME: 'qtVbar', VALUE: 0.73, flag: true, nothing: null, rows: [{Name: 'r0'}], inner: {x: 'y'}})"))));
        QCOMPARE(node->type(), Node::Object);
        QCOMPARE(node->property("NAME").toString(), QStringLiteral("qtVbar"));
        QCOMPARE(node->property("VALUE").type(), QVariant::Double);
        QCOMPARE(node->property("FLAG").type(), QVariant::Bool);
        QVERIFY(node->hasProperty(QStringLiteral("NOTHING")));
        QVERIFY(!node->property("NOTHING").isValid());
        Node *rows = node->child(QStringLiteral("ROWS"));
        QVERIFY(rows);
        QCOMPARE(rows->type(), Node::Array);
        QCOMPARE(rows->property("PARENT_ATTRIBUTE").toString(), QStringLiteral("rows"));
        QCOMPARE(rows->property("LENGTH").toDouble(), 1.0);
        Node *row = rows->child(QStringLiteral("0"));
        QVERIFY(row);
        QCOMPARE(row->type(), Node::Object);
        QCOMPARE(row->property("INDEX").toString(), QStringLiteral("0"));
        QCOMPARE(row->property("NAME").toString(), QStringLiteral("r0"));
        QCOMPARE(
            node->child(QStringLiteral("INNER"))->property("PARENT_ATTRIBUTE").toString(), QStringLiteral("inner"));
    }

    void ownIndexMemberReplacesThePosition()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(engine.evaluate(QStringLiteral("[{INDEX: 7}]"))));
        QCOMPARE(Node::textOf(node->child(QStringLiteral("0"))->property("INDEX")), QStringLiteral("7"));
    }

    void memberNamesKeepTheirLetters()
    {
        QScriptEngine engine;
        NodePtr node(
            Node::fromQScriptValue(engine.evaluate(QString::fromUtf8("({'gr\\u00f6\\u00dfe': 1, '\\u03b1': {}})"))));
        QVERIFY(node->hasProperty(QString::fromUtf8("GR\u00d6SSE"))
            || node->hasProperty(QString::fromUtf8("GR\u00d6\u00dfE")));
        QVERIFY(node->child(QString::fromUtf8("\u0391")));
        QCOMPARE(node->child(QString::fromUtf8("\u0391"))->property("PARENT_ATTRIBUTE").toString(),
            QString::fromUtf8("\u03b1"));
    }

    void primitiveGivesEmptyPlainNode()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(QScriptValue(5)));
        QCOMPARE(node->type(), Node::Normal);
        QVERIFY(node->properties().isEmpty());
    }

    void selfReferenceDoesNotOverflow()
    {
        QScriptEngine engine;
        TestStderrCapture err;
        NodePtr node(Node::fromQScriptValue(
            engine.evaluate(QStringLiteral("var a = {NAME: 'qtX', VALUE: 1}; a.me = a; a.list = [a, {up: a}]; a"))));
        QVERIFY(err.text().contains(QStringLiteral("refers back")));
        QCOMPARE(node->property("NAME").toString(), QStringLiteral("qtX"));
        QVERIFY(!node->child(QStringLiteral("ME")));
        Node *list = node->child(QStringLiteral("LIST"));
        QVERIFY(list);
        QVERIFY(!list->child(QStringLiteral("0")));
        QVERIFY(list->child(QStringLiteral("1")));
    }

    void sharedObjectIsConvertedAtEveryPlace()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(
            engine.evaluate(QStringLiteral("var p = {NAME: 'qtX', VALUE: 1}; ({first: p, second: p})"))));
        QVERIFY(node->child(QStringLiteral("FIRST")));
        QVERIFY(node->child(QStringLiteral("SECOND")));
    }

    void deepNestingIsCut()
    {
        QScriptEngine engine;
        TestStderrCapture err;
        NodePtr node(Node::fromQScriptValue(
            engine.evaluate(QStringLiteral("var r = {}; var c = r; for (var i = 0; i < 5000; ++i) { c.n = {}; c = "
                                           "c.n; } r"))));
        QVERIFY(err.text().contains(QStringLiteral("deeper than")));
        int depth = 0;
        for (Node *n = node.get(); n; n = n->child(QStringLiteral("N")))
            ++depth;
        QVERIFY(depth > 10);
        QVERIFY(depth < 5000);
    }

    void sharedObjectsNestedWithoutEndAreCut()
    {
        QScriptEngine engine;
        TestStderrCapture err;
        // Each level holds the level below twice: 2^40 places for 41 objects.
        NodePtr node(Node::fromQScriptValue(engine.evaluate(
            QStringLiteral("var a = {NAME: 'qtX'}; for (var i = 0; i < 40; ++i) a = {l: a, r: a}; a"))));
        QVERIFY(err.text().contains(QStringLiteral("the rest is ignored")));
        std::function<int(const Node *)> count = [&](const Node *n) {
            int total = 1;
            for (const Node *c : n->children())
                total += count(c);
            return total;
        };
        QVERIFY(count(node.get()) <= 100001);
        QVERIFY(node->child(QStringLiteral("L")));
    }

    void functionMembersDoNotLoop()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(engine.evaluate(QStringLiteral("({NAME: 'x', f: function() {}})"))));
        QCOMPARE(node->property("NAME").toString(), QStringLiteral("x"));
    }

    // ------------------------------------------------------------------ XML

    void writesAnswerElements()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(
            engine.evaluate(QStringLiteral("({NAME: 'a', VALUE: 0.1 + 0.2, rows: [{NAME: 'r'}, {x: {y: 1}}]})"))));
        QDomDocument doc;
        QDomElement root = doc.createElement(QStringLiteral("OUTPUT"));
        doc.appendChild(node->toXML(doc, root));
        QCOMPARE(root.tagName(), QStringLiteral("OBJECT"));
        QCOMPARE(root.attribute(QStringLiteral("VALUE")), QStringLiteral("0.3"));
        const QDomElement rows = root.firstChildElement();
        QCOMPARE(rows.tagName(), QStringLiteral("ARRAY"));
        QCOMPARE(rows.attribute(QStringLiteral("PARENT_ATTRIBUTE")), QStringLiteral("rows"));
        QCOMPARE(rows.attribute(QStringLiteral("LENGTH")), QStringLiteral("2"));
        QCOMPARE(rows.firstChildElement().tagName(), QStringLiteral("OUTPUT"));
        QCOMPARE(rows.firstChildElement().attribute(QStringLiteral("INDEX")), QStringLiteral("0"));
        QCOMPARE(rows.lastChildElement().tagName(), QStringLiteral("OBJECT"));

        NodePtr leaf(new Node(Node::Array));
        leaf->setProperty("name", QStringLiteral("x"));
        QDomElement e = doc.createElement(QStringLiteral("OUTPUT"));
        QCOMPARE(leaf->toXML(doc, e).tagName(), QStringLiteral("OUTPUT"));
    }

    void arrayOfPlainValuesIsWellFormedXml()
    {
        QScriptEngine engine;
        NodePtr node(Node::fromQScriptValue(engine.evaluate(QStringLiteral("({list: [4, 5]})"))));
        QDomDocument doc;
        QDomElement root = doc.createElement(QStringLiteral("OUTPUT"));
        doc.appendChild(node->toXML(doc, root));
        QDomDocument reread;
        QString error;
        QVERIFY2(reread.setContent(doc.toString(), &error), qPrintable(error));
        const QDomElement list = reread.documentElement().firstChildElement();
        QCOMPARE(list.tagName(), QStringLiteral("ARRAY"));
        QCOMPARE(list.firstChildElement().attribute(QStringLiteral("INDEX")), QStringLiteral("0"));
        QCOMPARE(list.firstChildElement().attribute(QStringLiteral("VALUE")), QStringLiteral("4"));
    }

    // ----------------------------------------------------- writing into forms

    void writesTextFields_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("last");
        QTest::newRow("line edit") << "qtPlain" << QVariant(1.5) << "1.5"
                                   << "1.5";
        QTest::newRow("numeric field reformats") << "qtNumeric" << QVariant(1.5) << "1.500"
                                                 << "1.5";
        QTest::newRow("label") << "qtLabel" << QVariant(0.1 + 0.2) << "0.3"
                               << "0.3";
        QTest::newRow("no value clears") << "qtPlain" << QVariant() << ""
                                         << "";
    }
    void writesTextFields()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        QFETCH(QString, last);
        ResultForm form;
        QWidget *target = form.findChild<QWidget *>(name);
        target->setProperty("USER_ENTRY", true);
        target->setProperty("text", QStringLiteral("old"));
        NodePtr node(new Node(Node::Object));
        node->setProperty("NAME", name);
        if (value.isValid())
            node->setProperty("VALUE", value);
        QVERIFY(Node::populateForm(node.get(), &form).isEmpty());
        QCOMPARE(target->property("text").toString(), shown);
        QCOMPARE(target->property("LAST_VALUE").toString(), last);
        QCOMPARE(target->property("LAST_VALUE").type(), QVariant::String);
        QCOMPARE(target->property("USER_ENTRY"), QVariant(false));
    }

    void numericFieldReportsAProgrammaticChange()
    {
        ResultForm form;
        auto *field = form.w<GuiLineEdit>("qtNumeric");
        QSignalSpy changed(field, &GuiLineEdit::sigValueChanged);
        QSignalSpy edited(field, &GuiLineEdit::sigValueEdited);
        NodePtr node(new Node(QStringLiteral("qtNumeric"), 2.0, Node::Normal));
        Node::populateForm(QList<Node *>() << node.get(), &form);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(edited.count(), 0);
        QVERIFY(field->isValid());
    }

    void styleSheetAndToolTipReplaceTheWidgets()
    {
        ResultForm form;
        form.w<QLineEdit>("qtPlain")->setText(QStringLiteral("keep?"));
        auto node = result({ { "NAME", QStringLiteral("qtPlain") },
            { "STYLESHEET", QStringLiteral("color: rgb(28, 170, 29);") }, { "TOOLTIP", QStringLiteral("computed") } });
        Node::populateForm(node.get(), &form);
        QCOMPARE(form.w<QLineEdit>("qtPlain")->styleSheet(), QStringLiteral("color: rgb(28, 170, 29);"));
        QCOMPARE(form.w<QLineEdit>("qtPlain")->toolTip(), QStringLiteral("computed"));
        QCOMPARE(form.w<QLineEdit>("qtPlain")->text(), QString());
    }

    void otherWidgetKindsGetOnlyTheMarks()
    {
        ResultForm form;
        auto node = result({ { "NAME", QStringLiteral("qtOtherKind") }, { "VALUE", 3 } });
        Node::populateForm(node.get(), &form);
        QCOMPARE(form.w<QGroupBox>("qtOtherKind")->property("LAST_VALUE").toString(), QStringLiteral("3"));
        QCOMPARE(form.w<QGroupBox>("qtOtherKind")->property("USER_ENTRY"), QVariant(false));
    }

    void unknownWidgetIsSkipped()
    {
        ResultForm form;
        TestStderrCapture err;
        auto node = result({ { "NAME", QStringLiteral("qtNothing") }, { "VALUE", 1 } });
        node->setProperty("next", new Node(QStringLiteral("qtLabel"), QStringLiteral("after"), Node::Object));
        Node::populateForm(node.get(), &form);
        QVERIFY(err.text().contains(QStringLiteral("No Widget found with name: qtNothing\n")));
        QCOMPARE(form.w<QLabel>("qtLabel")->text(), QStringLiteral("after"));
    }

    void graphPointIsReturnedAndNothingElse()
    {
        ResultForm form;
        TestModalAnswerer answerer;
        auto node = result({ { "GRAPH", QStringLiteral("GraphShape") }, { "AXIS", QStringLiteral("x") }, { "INDEX", 3 },
            { "DATA", 0.5 }, { "NAME", QStringLiteral("qtPlain") }, { "VALUE", 9 },
            { "WARNING", QStringLiteral("no") } });
        node->setProperty("child", new Node(QStringLiteral("qtLabel"), 1, Node::Object));
        QCOMPARE(Node::populateForm(node.get(), &form), QStringList({ "GraphShape,x,3,0.5" }));
        QCOMPARE(form.w<QLineEdit>("qtPlain")->text(), QString());
        QCOMPARE(form.w<QLabel>("qtLabel")->text(), QString());
        QTest::qWait(50);
        QVERIFY(answerer.seen().isEmpty());
    }

    void graphPointsKeepTreeAndListOrder()
    {
        ResultForm form;
        QScriptEngine engine;
        NodePtr a(Node::fromQScriptValue(engine.evaluate(QStringLiteral(
            "[{GRAPH: 'pH Graph', AXIS: 'x', DATA: 1}, {GRAPH: 'pH Graph', AXIS: 'y', DATA: 2, INDEX: 9}]"))));
        NodePtr b(Node::fromQScriptValue(engine.evaluate(QStringLiteral("({GRAPH: 'g', AXIS: 'y'})"))));
        NodePtr c(Node::fromQScriptValue(
            engine.evaluate(QStringLiteral("({GRAPH: 'v', AXIS: 'x', INDEX: 1, VALUE: 0.25})"))));
        QCOMPARE(Node::populateForm(QList<Node *>() << a.get() << b.get() << c.get(), &form),
            QStringList({ "pH Graph,x,0,1", "pH Graph,y,9,2", "g,y,,", "v,x,1,0.25" }));
    }

    void warningsAndErrorsAreShown()
    {
        ResultForm form;
        TestModalAnswerer answerer;
        TestStderrCapture err;
        auto node = result({ { "WARNING", QStringLiteral("careful") }, { "ERROR", QStringLiteral("broken") } });
        Node::populateForm(node.get(), &form);
        QVERIFY(
            err.text().contains(QStringLiteral("vornakel: No NAME attribute found. Ignoring variant properties\n")));
        QCOMPARE(answerer.titles(), QStringList({ "Vornakel Warning", "Vornakel Error" }));
        QCOMPARE(answerer.texts(), QStringList({ "careful", "broken" }));
        QCOMPARE(answerer.seen().at(0).icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen().at(1).icon, QMessageBox::Critical);
    }

    void comboBoxItemsAreAppended()
    {
        ResultForm form;
        auto *combo = form.w<QComboBox>("qtCombo");
        auto three
            = result({ { "NAME", QStringLiteral("qtCombo") }, { "VALUE", QStringLiteral("three") }, { "ID", 3 } });
        auto four
            = result({ { "NAME", QStringLiteral("qtCombo") }, { "VALUE", QStringLiteral("four") }, { "ID", 4.0 } });
        auto word = result(
            { { "NAME", QStringLiteral("qtCombo") }, { "VALUE", QStringLiteral("w") }, { "ID", QStringLiteral("x") } });
        Node::populateForm(QList<Node *>() << three.get() << four.get() << word.get(), &form);
        QCOMPARE(combo->count(), 4);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->itemText(1), QStringLiteral("three"));
        QCOMPARE(combo->itemData(1), QVariant(3));
        QCOMPARE(combo->itemData(2), QVariant(4));
        QCOMPARE(combo->itemData(3), QVariant(0));
        QCOMPARE(combo->property("LAST_VALUE").toString(), QStringLiteral("w"));
    }

    void comboBoxWithoutIdEndsTheNode()
    {
        ResultForm form;
        TestModalAnswerer answerer;
        TestStderrCapture err;
        auto node = result({ { "NAME", QStringLiteral("qtCombo") }, { "VALUE", QStringLiteral("v") },
            { "WARNING", QStringLiteral("w") } });
        node->setProperty("child", new Node(QStringLiteral("qtLabel"), 1, Node::Object));
        auto next = result({ { "NAME", QStringLiteral("qtPlain") }, { "VALUE", 2 } });
        Node::populateForm(QList<Node *>() << node.get() << next.get(), &form);
        QVERIFY(err.text().contains(
            QStringLiteral("Error: Cannot add VALUE v to ComboBox. Missing required ID attribute.\n")));
        QCOMPARE(form.w<QComboBox>("qtCombo")->count(), 1);
        QVERIFY(!form.w<QComboBox>("qtCombo")->property("LAST_VALUE").isValid());
        QCOMPARE(form.w<QLabel>("qtLabel")->text(), QString());
        QCOMPARE(form.w<QLineEdit>("qtPlain")->text(), QStringLiteral("2")); // the list goes on
        QTest::qWait(50);
        QVERIFY(answerer.seen().isEmpty());
    }

    void tableCellsAreWritten_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QString>("trace");
        QTest::newRow("green") << "background-color:rgb(#00ff00)" << QColor(Qt::green) << "";
        QTest::newRow("invalid colour") << "background-color:rgb(#zz)" << QColor() << "Invalid bgcolor #zz\n";
        QTest::newRow("no marker") << "background-color: red" << QColor() << "";
    }
    void tableCellsAreWritten()
    {
        QFETCH(QString, style);
        QFETCH(QColor, background);
        QFETCH(QString, trace);
        ResultForm form;
        auto *table = form.w<QTableWidget>("qtTable");
        auto node = result({ { "NAME", QStringLiteral("qtTable") }, { "VALUE", 12.5 }, { "ROW", 1 },
            { "COL", QStringLiteral("1") }, { "STYLESHEET", style }, { "TOOLTIP", QStringLiteral("tip") } });
        TestStderrCapture err;
        Node::populateForm(node.get(), &form);
        const QString out = err.text();
        if (!trace.isEmpty())
            QVERIFY(out.contains(trace));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("12.5"));
        QCOMPARE(table->item(1, 1)->toolTip(), QStringLiteral("tip"));
        if (background.isValid())
            QCOMPARE(table->item(1, 1)->background().color(), background);
        else
            QCOMPARE(table->item(1, 1)->background().style(), Qt::NoBrush);
        QVERIFY(table->styleSheet().isEmpty());
        QVERIFY(table->toolTip().isEmpty());
        QVERIFY(!table->property("LAST_VALUE").isValid());
    }

    void tableNodeWithoutCellChangesNothing_data()
    {
        QTest::addColumn<bool>("withCol");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("trace");
        QTest::newRow("no COL") << false << 0 << "Missing required cell information of COL and ROW attributes.";
        QTest::newRow("empty cell") << true << 1 << "Invalid cell information COL and ROW attributes.";
    }
    void tableNodeWithoutCellChangesNothing()
    {
        QFETCH(bool, withCol);
        QFETCH(int, row);
        QFETCH(QString, trace);
        ResultForm form;
        auto node = result({ { "NAME", QStringLiteral("qtTable") }, { "VALUE", QStringLiteral("v") }, { "ROW", row } });
        if (withCol)
            node->setProperty("COL", 0);
        node->setProperty("c", new Node(QStringLiteral("qtLabel"), 1, Node::Object));
        TestStderrCapture err;
        QVERIFY(Node::populateForm(node.get(), &form).isEmpty());
        QVERIFY(err.text().contains(trace));
        QCOMPARE(form.w<QTableWidget>("qtTable")->item(0, 0)->text(), QStringLiteral("a"));
        QCOMPARE(form.w<QLabel>("qtLabel")->text(), QString());
    }

    void childrenAreWrittenInKeyOrder()
    {
        ResultForm form;
        NodePtr node(new Node(Node::Object));
        node->setProperty("CHILD-2", new Node(QStringLiteral("qtLabel"), QStringLiteral("two"), Node::Object));
        node->setProperty("CHILD-10", new Node(QStringLiteral("qtLabel"), QStringLiteral("ten"), Node::Object));
        Node::populateForm(node.get(), &form);
        QCOMPARE(form.w<QLabel>("qtLabel")->text(), QStringLiteral("two")); // CHILD-10 came first
    }

    void emptyListWritesOnlyTheTrace()
    {
        ResultForm form;
        TestStderrCapture err;
        QVERIFY(Node::populateForm(QList<Node *>(), &form).isEmpty());
        QCOMPARE(err.text(), QStringLiteral("QtResultForm->populateForm()\n"));
    }
};

QTEST_MAIN(TstAppScriptObject)
#include "tst_app_scriptobject.moc"
