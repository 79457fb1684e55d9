// The request reader: which calls and input trees a request message gives.

#include "app/app_plugin.h"
#include "app/app_pluginmanager.h"
#include "app/app_scriptobject.h"
#include "xml/xml_message.h"
#include "xml/xml_requestjob.h"

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

// Reads the bytes to their end or their fault; where a fault was found, as "line,column".
QString readWhole(XmlMessage &reader, const QByteArray &bytes)
{
    reader.begin(bytes);
    reader.readSome(1024 * 1024);
    return QString("%1,%2").arg(reader.errorLine()).arg(reader.errorColumn());
}

// Reads the text of a request of one call: with no `fault` ("why line,column")
// the call is read, else the request is not well-formed there, and with
// `nothingRead` no call of it was read.
void compareRead(const QString &text, const QString &fault, bool nothingRead)
{
    XmlMessage reader;
    reader.parse(text);
    if (fault.isEmpty()) {
        QCOMPARE(reader.fault(), XmlMessage::Fault::None);
        QCOMPARE(reader.values().size(), 1);
        return;
    }
    QCOMPARE(reader.fault(), XmlMessage::Fault::NotWellFormed);
    QCOMPARE(QString("%1 %2,%3").arg(reader.errorString()).arg(reader.errorLine()).arg(reader.errorColumn()), fault);
    if (nothingRead)
        QVERIFY(reader.values().isEmpty());
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
    void refusesWhatNoRequestNeedsBeforeReading_data();
    void refusesWhatNoRequestNeedsBeforeReading();
    void readsALargeRequestASliceAtATime();
    void refusesACharacterXmlDoesNotAllowBeforeReading_data();
    void refusesACharacterXmlDoesNotAllowBeforeReading();
    void readsTheEncodingARequestDeclares_data();
    void readsTheEncodingARequestDeclares();
    void refusesAnAttributeNameThatIsNoneOrGivenTwice_data();
    void refusesAnAttributeNameThatIsNoneOrGivenTwice();
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
    // Names are read in any letter case, an end tag's too.
    QTest::newRow("end tags in another letter case")
        << "<VORNAKEL><EXECUTE F=\"f\"><OBJECT X=\"1\"><INPUT NAME=\"a\"></input></object></execute></vornakel>" << true
        << "f(O{X=1,CHILD-0:N{NAME=a}})";
    QTest::newRow("end tag of another name")
        << "<V><EXECUTE F=\"f\"><INPUT NAME=\"a\"/></EXECUTES></V>" << false << "f(N{NAME=a})";
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

void TestXmlMessage::refusesWhatNoRequestNeedsBeforeReading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fault"); // XmlMessage::Fault
    QTest::addColumn<QString>("where"); // line, column

    const QByteArray call = "<V><EXECUTE F=\"f\"><INPUT NAME=\"a\"/></EXECUTE></V>";
    QByteArray attributes;
    for (int i = 0; i < XmlMessage::MaxAttributes; ++i)
        attributes += " a" + QByteArray::number(i) + "='>'";
    const auto fault = [](XmlMessage::Fault f) { return int(f); };
    QTest::newRow("entity in the request's DTD")
        << QByteArray("<!DOCTYPE V [<!ENTITY e \"x\">]>\n<V><EXECUTE F=\"&e;\"/></V>") << fault(XmlMessage::Fault::Dtd)
        << "1,1";
    QTest::newRow("parameter entity") << "<?xml version=\"1.0\"?>\n<!DOCTYPE V [<!ENTITY % p \"x\"> %p;]>" + call
                                      << fault(XmlMessage::Fault::Dtd) << "2,1";
    QTest::newRow("DTD outside the request")
        << "<!DOCTYPE V SYSTEM \"/etc/passwd\">" + call << fault(XmlMessage::Fault::Dtd) << "1,1";
    QTest::newRow("DTD after a comment that names one")
        << "<!-- <!DOCTYPE --><!doctype V>" + call << fault(XmlMessage::Fault::Dtd) << "1,19";
    QTest::newRow("a DTD's words in a comment and CDATA") << QByteArray(
        "<V><!-- <!DOCTYPE V> --><EXECUTE F=\"f\"><![CDATA[<!DOCTYPE V>]]><INPUT NAME=\"a\"/></EXECUTE></V>")
                                                          << fault(XmlMessage::Fault::None) << "";
    QTest::newRow("as many attributes as an element may have")
        << "<V><EXECUTE F=\"f\"><INPUT" + attributes + "/></EXECUTE></V>" << fault(XmlMessage::Fault::None) << "";
    QTest::newRow("one attribute more") << "<V>\n<EXECUTE F=\"f\"><INPUT" + attributes + " z=\"\"/></EXECUTE></V>"
                                        << fault(XmlMessage::Fault::TooManyAttributes) << "2,16";
    // Read as U+FFFD, the value would reach the call as a wrong figure.
    QTest::newRow("a byte that is not UTF-8")
        << QByteArray("<V>\n<EXECUTE F=\"\xc3\xb6\xe9x\"/></V>") << fault(XmlMessage::Fault::NotWellFormed) << "2,14";
    QTest::newRow("an overlong form") << QByteArray("<V><EXECUTE F=\"\xc0\xaf\"/></V>")
                                      << fault(XmlMessage::Fault::NotWellFormed) << "1,16";
    QTest::newRow("a surrogate") << QByteArray("<V><EXECUTE F=\"\xed\xa0\x80\"/></V>")
                                 << fault(XmlMessage::Fault::NotWellFormed) << "1,16";
    QTest::newRow("a cut-off character") << QByteArray("<V><EXECUTE F=\"\xe2\x9c")
                                         << fault(XmlMessage::Fault::NotWellFormed) << "1,16";
}

void TestXmlMessage::refusesWhatNoRequestNeedsBeforeReading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, fault);
    QFETCH(QString, where);

    XmlMessage reader;
    const QString found = readWhole(reader, bytes);
    QCOMPARE(int(reader.fault()), fault);
    if (fault == int(XmlMessage::Fault::None)) {
        QCOMPARE(reader.values().size(), 1);
        return;
    }
    // Nothing of it is read, so no call either.
    QVERIFY(reader.values().isEmpty());
    QCOMPARE(found, where);
    if (fault == int(XmlMessage::Fault::NotWellFormed))
        QVERIFY2(reader.errorString().contains(" is not UTF-8 text."), qPrintable(reader.errorString()));
}

void TestXmlMessage::readsTheEncodingARequestDeclares_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("fault"); // XmlMessage::Fault
    QTest::addColumn<QString>("read"); // the function name read, or the fault's text
    QTest::addColumn<QString>("where"); // of the fault: line, column

    const auto request = [](const QByteArray &declaration, const QByteArray &name) {
        return declaration + "\n<V><EXECUTE F=\"" + name + "\"/></V>";
    };
    const int none = int(XmlMessage::Fault::None);
    const int bad = int(XmlMessage::Fault::NotWellFormed);
    const int unread = int(XmlMessage::Fault::Encoding);
    QTest::newRow("ISO-8859-1") << request("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "caf\xe9") << none
                                << QString::fromUtf8("caf\u00e9") << "";
    QTest::newRow("another name of it, quoted and spaced otherwise")
        << request("<?xml version='1.0' encoding = 'latin1' ?>", "caf\xe9") << none << QString::fromUtf8("caf\u00e9")
        << "";
    QTest::newRow("windows-1252") << request("<?xml version=\"1.0\" encoding=\"windows-1252\"?>", "\x80") << none
                                  << QString::fromUtf8("\u20ac") << "";
    QTest::newRow("Shift_JIS") << request("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "\x82\xa0") << none
                               << QString::fromUtf8("\u3042") << "";
    QTest::newRow("UTF-8") << request("<?xml version=\"1.0\" encoding=\"utf-8\"?>", "caf\xc3\xa9") << none
                           << QString::fromUtf8("caf\u00e9") << "";
    QTest::newRow("UTF-8 named, a byte that is not")
        << request("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "caf\xe9") << bad << "Byte 0xE9 is not UTF-8 text."
        << "2,19";
    QTest::newRow("none named, a byte that is not UTF-8")
        << request("<?xml version=\"1.0\"?>", "caf\xe9") << bad << "Byte 0xE9 is not UTF-8 text."
        << "2,19";
    QTest::newRow("Shift_JIS, bytes of no character")
        << request("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "a\xff\xff") << bad
        << "Bytes that are not Shift_JIS text."
        << "2,17";
    QTest::newRow("US-ASCII, a byte past it") << request("<?xml version=\"1.0\" encoding=\"US-ASCII\"?>", "caf\xe9")
                                              << bad << "Bytes that are not US-ASCII text."
                                              << "2,19";
    QTest::newRow("an encoding no one knows")
        << request("<?xml version=\"1.0\" encoding=\"x-vornakel\"?>", "f") << unread << "x-vornakel"
        << "1,31";
    QTest::newRow("a control character in the encoding's name")
        << request("<?xml version=\"1.0\" encoding=\"ISO-8859\x01-1\"?>", "f") << bad
        << "Character U+0001 is not allowed in XML."
        << "1,39";
    QTest::newRow("UTF-16 named in bytes of ASCII")
        << request("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", "f") << unread << "UTF-16"
        << "1,31";
}

void TestXmlMessage::readsTheEncodingARequestDeclares()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, fault);
    QFETCH(QString, read);
    QFETCH(QString, where);
    XmlMessage reader;
    const QString found = readWhole(reader, bytes);
    QCOMPARE(int(reader.fault()), fault);
    const QString text = reader.values().size() == 1 ? reader.values().first()->functionName : reader.errorString();
    QCOMPARE(text, read);
    if (fault != int(XmlMessage::Fault::None))
        QCOMPARE(found + " " + QString::number(reader.values().size()), where + " 0");
}

void TestXmlMessage::readsALargeRequestASliceAtATime()
{
    // A megabyte of inputs for two calls.
    const QByteArray inputs = QByteArray("<INPUT NAME=\"x\" VALUE=\"1\"/>").repeated(16 * 1024);
    const QByteArray request = "<VORNAKEL><MODULE NAME=\"Nothing\"/><EXECUTE F=\"f\">" + inputs
        + "</EXECUTE><EXECUTE F=\"g\">" + inputs + "</EXECUTE></VORNAKEL>";
    XmlMessage whole;
    QVERIFY(whole.parse(QString::fromUtf8(request)));

    XmlMessage sliced;
    sliced.begin(request);
    int slices = 1;
    while (!sliced.readSome(XmlRequestJob::ReadSlice))
        ++slices;
    QCOMPARE(sliced.fault(), XmlMessage::Fault::None);
    QVERIFY2(slices >= request.size() / XmlRequestJob::ReadSlice, qPrintable(QString::number(slices)));
    QCOMPARE(dump(sliced.values()), dump(whole.values()));

    // A request from outside is read as many steps of the server, each a slice.
    AppPluginManager noModules((QString()));
    XmlRequestJob job(request, &noModules, true, [](const QString &, int) {});
    int steps = 1;
    while (job.step())
        ++steps;
    QCOMPARE(steps, slices);
    QVERIFY(job.answer().contains("No module &quot;Nothing&quot; is loaded."));
}

void TestXmlMessage::refusesACharacterXmlDoesNotAllowBeforeReading_data()
{
    // As a page hands a request over, in characters: halves of a surrogate pair too.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fault"); // and where, "line,column"; empty: read
    const auto with = [](const char *before, ushort c, const char *after) {
        return QString::fromUtf8(before) + QChar(c) + QString::fromUtf8(after);
    };
    QTest::newRow("in an element name") << with("<V><EXE", 0x01, "CUTE F=\"f\"/></V>")
                                        << "Character U+0001 is not allowed in XML. 1,8";
    QTest::newRow("in an end tag's name")
        << with("<V><EXECUTE F=\"f\"></EXEC", 0x00, "UTE></V>") << "Character U+0000 is not allowed in XML. 1,25";
    QTest::newRow("in an attribute name") << with("<V><EXECUTE F=\"f\"><INPUT N", 0x00, "AME=\"a\"/></EXECUTE></V>")
                                          << "Character U+0000 is not allowed in XML. 1,27";
    QTest::newRow("between attributes") << with("<V><EXECUTE F=\"f\"><INPUT NAME=\"a\"", 0x0b,
        " VALUE=\"1\"/></EXECUTE></V>") << "Character U+000B is not allowed in XML. 1,34";
    QTest::newRow("in a value") << with("<V><EXECUTE F=\"f\"><INPUT NAME=\"a\" VALUE=\"", 0xfffe, "\"/></EXECUTE></V>")
                                << "Character U+FFFE is not allowed in XML. 1,42";
    QTest::newRow("in text") << with("<V>\n<EXECUTE F=\"f\">", 0x1f, "</EXECUTE></V>")
                             << "Character U+001F is not allowed in XML. 2,16";
    QTest::newRow("in a comment") << with("<V><!-- ", 0xffff, " --><EXECUTE F=\"f\"/></V>")
                                  << "Character U+FFFF is not allowed in XML. 1,9";
    QTest::newRow("in a processing instruction")
        << with("<V><?pi ", 0x01, "?><EXECUTE F=\"f\"/></V>") << "Character U+0001 is not allowed in XML. 1,9";
    QTest::newRow("in CDATA") << with("<V><![CDATA[", 0x00, "]]><EXECUTE F=\"f\"/></V>")
                              << "Character U+0000 is not allowed in XML. 1,13";
    QTest::newRow("in the XML declaration") << with("<?xml version=\"1.0\"", 0x01, "?><V><EXECUTE F=\"f\"/></V>")
                                            << "Character U+0001 is not allowed in XML. 1,20";
    QTest::newRow("after the root") << with("<V><EXECUTE F=\"f\"/></V>", 0x00, "")
                                    << "Character U+0000 is not allowed in XML. 1,24";
    QTest::newRow("half a surrogate pair, the first")
        << with("<V><EXECUTE F=\"", 0xd800, "\"/></V>") << "Character U+D800 is not allowed in XML. 1,16";
    QTest::newRow("half a surrogate pair, the second")
        << with("<V><EXECUTE F=\"", 0xdc00, "\"/></V>") << "Character U+DC00 is not allowed in XML. 1,16";
    QTest::newRow("a whole surrogate pair")
        << QString::fromUtf8("<V><EXECUTE F=\"\xf0\x9f\x98\x80\"/></V>") << QString();
    QTest::newRow("tab and line ends") << QString("<V>\t\r\n<EXECUTE F=\"f\"/></V>") << QString();
}

void TestXmlMessage::refusesACharacterXmlDoesNotAllowBeforeReading()
{
    QFETCH(QString, text);
    QFETCH(QString, fault);
    compareRead(text, fault, true);
}

void TestXmlMessage::refusesAnAttributeNameThatIsNoneOrGivenTwice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fault"); // and where, "line,column"; empty: read
    const auto input = [](const QString &attributes) {
        return QStringLiteral("<V><EXECUTE F=\"f\"><INPUT ") + attributes + QStringLiteral("/></EXECUTE></V>");
    };
    const auto noName = [](const char *character, const char *name, int column) {
        return QStringLiteral("Character U+%1 is not allowed in an XML name: attribute \"%2\". 1,%3")
            .arg(QLatin1String(character), QString::fromUtf8(name))
            .arg(column);
    };
    // The reader takes these into the name, where they make another one than
    // the request shows. The fault is told at the end of the start tag.
    QTest::newRow("a no-break space ending NAME")
        << input(QString::fromUtf8("NAME\u00a0=\"Mr\"")) << noName("00A0", "NAME\u00a0", 37);
    QTest::newRow("a next line inside VALUE")
        << input(QString::fromUtf8("VA\u0085LUE=\"1\"")) << noName("0085", "VA\u0085LUE", 37);
    QTest::newRow("a zero-width space inside NAME")
        << input(QString::fromUtf8("NA\u200bME=\"Mr\"")) << noName("200B", "NA\u200bME", 37);
    QTest::newRow("a noncharacter first")
        << input(QString::fromUtf8("\ufdd0NAME=\"Mr\"")) << noName("FDD0", "\ufdd0NAME", 37);
    QTest::newRow("a prefix that is no name")
        << input(QString::fromUtf8("\u00d7:NAME=\"Mr\"")) << noName("00D7", "\u00d7:NAME", 38);
    // Names are read in any letter case: one of the two would be taken without a word.
    QTest::newRow("VALUE and value") << input("NAME=\"Mr\" VALUE=\"50000\" value=\"1\"")
                                     << "Attribute 'value' redefined: 'VALUE' came before it, and names are read in "
                                        "any letter case. 1,60";
    QTest::newRow("NAME and Name of a module")
        << QString("<V><MODULE NAME=\"MainScreen\" Name=\"Other\"/><EXECUTE F=\"f\"/></V>")
        << "Attribute 'Name' redefined: 'NAME' came before it, and names are read in any letter case. 1,43";
    QTest::newRow("INDEX and index of a row")
        << QString("<V><EXECUTE F=\"f\"><ARRAY><INPUT INDEX=\"0\" index=\"1\"/></ARRAY></EXECUTE></V>")
        << "Attribute 'index' redefined: 'INDEX' came before it, and names are read in any letter case. 1,53";
    // Names XML allows are read as they stand.
    QTest::newRow("letters and marks outside ASCII")
        << input(QString::fromUtf8("N\u00c4ME=\"a\" NA\u0301ME=\"b\" A\u00b7B=\"c\"")) << QString();
    QTest::newRow("a prefix") << input("x:NAME=\"Mr\" NAME=\"Mr\"") << QString();
}

void TestXmlMessage::refusesAnAttributeNameThatIsNoneOrGivenTwice()
{
    QFETCH(QString, text);
    QFETCH(QString, fault);
    // The calls read before the fault are not run: the request is refused whole.
    compareRead(text, fault, false);
}

TEST_GUILESS_MAIN(TestXmlMessage)
#include "tst_xml_message.moc"
