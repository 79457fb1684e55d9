// The request reader: which calls and input trees a request message gives.

#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "xml/xml_message.h"

#include "test_log.h"

#include <QtTest>

namespace {

// N/O/A for the node kind, then its properties and its children by key.
QString dump(const AppScriptObject *node)
{
    QStringList parts;
    for (auto it = node->properties().constBegin(); it != node->properties().constEnd(); ++it)
        parts << it.key() + QLatin1Char('=') + it.value().toString();
    for (auto it = node->children().constBegin(); it != node->children().constEnd(); ++it)
        parts << it.key() + QLatin1Char(':') + dump(it.value());
    return QString(QLatin1String("NOA").at(node->type())) + QLatin1Char('{') + parts.join(QLatin1Char(','))
        + QLatin1Char('}');
}

QString dump(const QList<DataPluginExecInfo *> &calls)
{
    QStringList out;
    for (const DataPluginExecInfo *call : calls) {
        QStringList inputs;
        for (const AppScriptObject *input : call->inputs)
            inputs << dump(input);
        out << call->functionName + QLatin1Char('(') + inputs.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out.join(QLatin1Char(';'));
}

QString nested(int depth)
{
    return QStringLiteral("<VORNAKEL><EXECUTE FUNCTION=\"f\">") + QString("<OBJECT>").repeated(depth)
        + QString("</OBJECT>").repeated(depth) + QStringLiteral("</EXECUTE></VORNAKEL>");
}

} // namespace

class TestXmlMessage : public QObject
{
    Q_OBJECT

private slots:
    void readsRequests_data();
    void readsRequests();
    void readsTheEnvelopeInAnyCase();
    void refusesTreesDeeperThanTheLimit();
};

void TestXmlMessage::readsRequests_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QString>("calls");

    QTest::newRow("letter case") << "<vornakel><Execute function=\"f\"><input name=\"Mr\" value=\"5\"/></Execute>"
                                    "</vornakel>"
                                 << true << "f(N{NAME=Mr,VALUE=5})";
    QTest::newRow("array with INDEX") << "<V><EXECUTE F=\"f\"><ARRAY NAME=\"a\"><OBJECT INDEX=\"0\" X=\"1\"/>"
                                         "<OBJECT INDEX=\"1\" X=\"2\"/></ARRAY></EXECUTE></V>"
                                      << true << "f(A{NAME=a,0:O{X=1},1:O{X=2}})";
    QTest::newRow("array without keys") << "<V><EXECUTE F=\"f\"><ARRAY><OBJECT/><OBJECT/></ARRAY></EXECUTE></V>" << true
                                        << "f(A{CHILD-0:O{},CHILD-1:O{}})";
    QTest::newRow("PARENT_ATTRIBUTE") << "<V><EXECUTE F=\"f\"><OBJECT><OBJECT PARENT_ATTRIBUTE=\"rows\" Y=\"3\"/>"
                                         "</OBJECT></EXECUTE></V>"
                                      << true << "f(O{ROWS:O{Y=3}})";
    QTest::newRow("lower-case index") << "<V><EXECUTE F=\"f\"><ARRAY><INPUT index=\"7\" NAME=\"n\"/></ARRAY>"
                                         "</EXECUTE></V>"
                                      << true << "f(A{CHILD-0:N{NAME=n}})";
    QTest::newRow("INDEX inside OBJECT") << "<V><EXECUTE F=\"f\"><OBJECT><INPUT INDEX=\"7\"/></OBJECT></EXECUTE></V>"
                                         << true << "f(O{CHILD-0:N{}})";
    QTest::newRow("VALUE element not read") << "<V><EXECUTE F=\"f\"><INPUT NAME=\"Mr\"><VALUE>5</VALUE></INPUT>"
                                               "</EXECUTE></V>"
                                            << true << "f(N{NAME=Mr})";
    QTest::newRow("two EXECUTEs") << "<V><EXECUTE F=\"f\"><INPUT NAME=\"a\"/></EXECUTE>"
                                     "<EXECUTE F=\"g\"><INPUT NAME=\"b\"/><INPUT NAME=\"c\"/></EXECUTE></V>"
                                  << true << "f(N{NAME=a});g(N{NAME=b} N{NAME=c})";
    QTest::newRow("EXECUTE without attributes")
        << "<V><EXECUTE><INPUT NAME=\"a\"/></EXECUTE></V>" << true << "(N{NAME=a})";
    QTest::newRow("inputs before any EXECUTE") << "<V><INPUT NAME=\"a\"/><OBJECT><INPUT/></OBJECT><ARRAY/>"
                                                  "<EXECUTE F=\"f\"/></V>"
                                               << true << "f()";
    QTest::newRow("malformed keeps what was read") << "<V><EXECUTE F=\"f\"><INPUT NAME=\"a\"/><OBJECT X=\"1\">"
                                                      "<INPUT NAME=\"b\"></EXECUTE>"
                                                   << false << "f(N{NAME=a})";
    QTest::newRow("not XML") << "no request" << false << "";
}

void TestXmlMessage::readsRequests()
{
    QFETCH(QString, xml);
    QFETCH(bool, wellFormed);
    QFETCH(QString, calls);

    XmlMessage reader;
    QCOMPARE(reader.parse(xml), wellFormed);
    QCOMPARE(dump(reader.values()), calls);
    // What went wrong is said, for the answer to tell the sender.
    QCOMPARE(reader.errorString().isEmpty(), wellFormed);
}

void TestXmlMessage::readsTheEnvelopeInAnyCase()
{
    XmlMessage reader;
    QVERIFY(reader.parse("<Vornakel Type=\"Input\"><module Name=\"MainScreen\" date=\"d1\"/>"
                         "<MODULE VERSION=\"2\"/></Vornakel>"));
    QCOMPARE(reader.vornakelType(), QString("Input"));
    QCOMPARE(reader.moduleName(), QString("MainScreen"));
    QCOMPARE(reader.moduleVersion(), QString("2"));
    QCOMPARE(reader.moduleDate(), QString("d1"));

    XmlMessage bare;
    QVERIFY(bare.parse("<VORNAKEL><MODULE NAME=\"M\"/></VORNAKEL>"));
    QVERIFY(bare.moduleVersion().isNull()); // the greatest version is run
    QVERIFY(bare.vornakelType().isNull());
}

void TestXmlMessage::refusesTreesDeeperThanTheLimit()
{
    XmlMessage deepest;
    QVERIFY(deepest.parse(nested(XmlMessage::MaxDepth)));
    QCOMPARE(deepest.fault(), XmlMessage::Fault::None);
    QCOMPARE(deepest.values().first()->inputs.size(), 1);

    XmlMessage tooDeep;
    QVERIFY(!tooDeep.parse(nested(XmlMessage::MaxDepth + 1)));
    QCOMPARE(tooDeep.fault(), XmlMessage::Fault::TooDeep);
    QVERIFY(tooDeep.values().first()->inputs.isEmpty());
}

TEST_GUILESS_MAIN(TestXmlMessage)
#include "tst_xml_message.moc"
