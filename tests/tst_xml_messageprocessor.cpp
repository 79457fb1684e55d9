// The message processor: answers to request messages, the settings file of
// the message server, and the CGI mode run through a small host program.

#include "app/app_log.h"
#include "app/app_plugin.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_messaging.h"
#include "xml/xml_messageprocessor.h"

#include "test_log.h"
#include <QDomDocument>
#include <QProcess>
#include <QScriptEngine>
#include <QSignalSpy>

#include <QtTest>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const double kAvogadro = 6.02214076e23; // 1/mol
const double kGas = 8.314462618e7; // erg/(mol K)

// Anhydrous sphere radius Ro = (3 M vbar / 4 pi N)^(1/3), cm.
double sphereRadius(double mr, double vbar)
{
    return std::cbrt(3 * mr * vbar / (4 * M_PI * kAvogadro));
}

QString request(const QString &module, const QString &calls)
{
    return QStringLiteral("<VORNAKEL TYPE=\"Input\">%1%2</VORNAKEL>").arg(module, calls);
}

const QString kMainScreen = QStringLiteral("<MODULE NAME=\"MainScreen\" VERSION=\"20120412\" DATE=\"20120412\"/>");
// Answered with the sphere radius sphereRadius(50000, 0.73).
const QString kRoCall = QStringLiteral("<EXECUTE FUNCTION=\"calculateRo\"><INPUT NAME=\"Mr\" VALUE=\"50000\"/>"
                                       "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>");

QStringList attributes(const QDomElement &element)
{
    QStringList set;
    const QDomNamedNodeMap map = element.attributes();
    for (int i = 0; i < map.size(); ++i)
        set << map.item(i).nodeName() + QLatin1Char('=') + map.item(i).nodeValue();
    set.sort();
    return set;
}

bool near(const QString &text, double expected)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::fabs(value - expected) <= 1e-9 * std::fabs(expected);
}

void writeSettings(const QByteArray &text)
{
    QFile file(QStringLiteral("vornakel.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

struct CgiRun
{
    int exitCode = -1;
    QByteArray header;
    QByteArray body;
    QByteArray errors; // what it wrote to standard error
};

// Starts the CGI host on the input. contentLength: the CONTENT_LENGTH a web
// server would set, none when null. A web server may keep standard input open
// after the body: keepOpen.
void startCgi(QProcess &host, const QString &modules, const QString &database, const QByteArray &input,
    const QByteArray &contentLength = QByteArray(), bool keepOpen = false)
{
    // Inherited from this process as it starts, byte for byte (what is no
    // text in the local encoding too).
    const TestVariable length("CONTENT_LENGTH", contentLength);
    host.start(testBinaryDir() + QStringLiteral("/bin/host_cgi"), { modules, database });
    if (!host.waitForStarted(testPatienceMs()))
        return;
    host.write(input);
    if (!keepOpen)
        host.closeWriteChannel();
}

CgiRun finishCgi(QProcess &host)
{
    CgiRun run;
    if (!host.waitForFinished(testPatienceMs())) {
        host.kill();
        host.waitForFinished(testPatienceMs());
        return run;
    }
    run.exitCode = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    const QByteArray out = host.readAllStandardOutput();
    const int split = out.indexOf("\n\n");
    run.header = out.left(split);
    run.body = out.mid(split + 2);
    run.errors = host.readAllStandardError();
    return run;
}

CgiRun runCgi(const QString &modules, const QString &database, const QByteArray &input,
    const QByteArray &contentLength = QByteArray(), bool keepOpen = false)
{
    QProcess host;
    startCgi(host, modules, database, input, contentLength, keepOpen);
    return finishCgi(host);
}

// One run of the CGI host per input, a few at once.
QList<CgiRun> runCgiEach(const QString &modules, const QString &database, const QList<QByteArray> &inputs)
{
    const int atOnce = 4;
    QList<CgiRun> runs;
    for (int first = 0; first < inputs.size(); first += atOnce) {
        std::vector<std::unique_ptr<QProcess>> hosts;
        for (int i = first; i < qMin(first + atOnce, inputs.size()); ++i) {
            hosts.push_back(std::make_unique<QProcess>());
            startCgi(*hosts.back(), modules, database, inputs.at(i));
        }
        for (auto &host : hosts)
            runs << finishCgi(*host);
    }
    return runs;
}

} // namespace

class TestXmlMessageProcessor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void answersCalculateRo();
    void answersCalculationsFromSigma();
    void answersWithoutRunnableCalls_data();
    void answersWithoutRunnableCalls();
    void runsTheGreatestVersionWithoutOne_data();
    void runsTheGreatestVersionWithoutOne();
    void refusesACallWithTwoInputsOfOneName_data();
    void refusesACallWithTwoInputsOfOneName();
    void callsOnlyTheFunctionsAModuleOffers_data();
    void callsOnlyTheFunctionsAModuleOffers();
    void writesArraysOfPlainValues();
    void keepsEveryAnswerUnderItsLimit_data();
    void keepsEveryAnswerUnderItsLimit();
    void answersAResultWholeOrNotAtAll_data();
    void answersAResultWholeOrNotAtAll();
    void leavesOutOnlyWhatPassesTheOutputBudget_data();
    void leavesOutOnlyWhatPassesTheOutputBudget();
    void logsOnlyNonBlankMessages();
    void logsTheStartOfALongMessage();

    void readsServerSettings_data();
    void readsServerSettings();
    void takesEveryPortUpTo65535_data();
    void takesEveryPortUpTo65535();
    void secondProcessorOnThePortGetsNoServer();

    void cgiAnswersOneRequest_data();
    void cgiAnswersOneRequest();
    void cgiReadsExactlyContentLength_data();
    void cgiReadsExactlyContentLength();
    void cgiRefusesADatabaseThatIsNotThere_data();
    void cgiRefusesADatabaseThatIsNotThere();
    void cgiRefusesACharacterXmlDoesNotAllowWhereverItStands_data();
    void cgiRefusesACharacterXmlDoesNotAllowWhereverItStands();
    void cgiBoundsWhatOneRequestWritesToItsOutput();
    void logsWhereTheServerListens();

private:
    TestMessageModules m_modules;
    TestDatabase m_database;
    XmlMessageProcessor *m_processor = nullptr;
};

void TestXmlMessageProcessor::initTestCase()
{
    QFile::remove(QStringLiteral("vornakel.ini"));
    QVERIFY(m_database.isValid());
    m_processor = new XmlMessageProcessor(m_database.path(), false, this);
    m_processor->loadPlugins(m_modules.path());
    QCOMPARE(m_processor->availableModules().size(), 3);
    QVERIFY(!m_processor->isListening());
}

void TestXmlMessageProcessor::cleanup()
{
    QFile::remove(QStringLiteral("vornakel.ini"));
}

void TestXmlMessageProcessor::answersCalculateRo()
{
    const QString answer = m_processor->submitFromWeb(request(kMainScreen, kRoCall));
    QDomDocument document;
    QVERIFY(document.setContent(answer));
    const QDomElement root = document.documentElement();
    QCOMPARE(attributes(root), QStringList { "TYPE=Output" });
    const QDomElement module = root.firstChildElement();
    QCOMPARE(module.tagName(), QString("MODULE"));
    QCOMPARE(attributes(module), (QStringList { "DATE=20120412", "NAME=MainScreen", "VERSION=20120412" }));
    const QDomElement output = module.nextSiblingElement();
    QCOMPARE(output.tagName(), QString("OUTPUT"));
    QCOMPARE(output.attributes().size(), 2);
    QCOMPARE(output.attribute("NAME"), QString("qtExperimentResultsRp"));
    QVERIFY2(near(output.attribute("VALUE"), sphereRadius(50000, 0.73)), qPrintable(answer));
    QVERIFY(output.nextSiblingElement().isNull());
}

void TestXmlMessageProcessor::answersCalculationsFromSigma()
{
    // Mb = sigma R T / omega^2, Mr = Mb / (1 - vbar rho); 20 C, 20000 rpm.
    const double omega = 2 * M_PI * 20000 / 60;
    const double mb = 1.5 * kGas * 293.15 / (omega * omega);
    const QString answer = m_processor->submitFromWeb(request(kMainScreen,
        "<EXECUTE FUNCTION=\"calculationsFromSigma\"><INPUT NAME=\"T\" VALUE=\"20\"/>"
        "<INPUT NAME=\"sigma\" VALUE=\"1.5\"/><INPUT NAME=\"RPM\" VALUE=\"20000\"/>"
        "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/><INPUT NAME=\"density\" VALUE=\"1\"/></EXECUTE>"));
    QDomDocument document;
    QVERIFY(document.setContent(answer));
    const QDomElement object = document.documentElement().firstChildElement("OBJECT");
    QVERIFY2(!object.isNull(), qPrintable(answer));
    QStringList shapes;
    for (QDomElement e = object.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        shapes << e.tagName() + ":" + attributes(e).filter(QRegularExpression("^(NAME|PARENT_ATTRIBUTE)=")).join(",");
    QCOMPARE(shapes,
        (QStringList { "OUTPUT:NAME=qtSedEquilibriumMR,PARENT_ATTRIBUTE=R0000",
            "OUTPUT:NAME=qtExperimentResultsMb,PARENT_ATTRIBUTE=R0001" }));
    const QMap<QString, QString> values = testOutputValues(answer);
    QVERIFY(near(values.value("qtExperimentResultsMb"), mb));
    QVERIFY(near(values.value("qtSedEquilibriumMR"), mb / (1 - 0.73)));
}

void TestXmlMessageProcessor::answersWithoutRunnableCalls_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QStringList>("module");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("error"); // the one ScriptError output's value; empty: no output

    const QStringList mainScreen { "DATE=20120412", "NAME=MainScreen", "VERSION=20120412" };
    QTest::newRow("unknown module") << request(
        "<MODULE NAME=\"Nothing\" VERSION=\"1\"/>", "<EXECUTE FUNCTION=\"echo\"/>")
                                    << QStringList { "DATE=", "NAME=Nothing", "VERSION=1" } << "Plugin not found!"
                                    << "No module \"Nothing\" in version \"1\" is loaded. Nothing was run.";
    QTest::newRow("unknown module, no version")
        << request("<MODULE NAME=\"Nothing\"/>", "<EXECUTE FUNCTION=\"echo\"/>")
        << QStringList { "DATE=", "NAME=Nothing", "VERSION=" } << "Plugin not found!"
        << "No module \"Nothing\" is loaded. Nothing was run.";
    QTest::newRow("unknown function") << request(kMainScreen, "<EXECUTE FUNCTION=\"nothing\"/>") << mainScreen
                                      << "Exec Error: The module MainScreen has no function \"nothing\"."
                                      << "The module MainScreen has no function \"nothing\".";
    QTest::newRow("no EXECUTE") << request(kMainScreen, QString()) << mainScreen << QString() << QString();
    QTest::newRow("not XML") << "calculateRo(50000, 0.73)" << QStringList { "DATE=", "NAME=", "VERSION=" }
                             << "XmlMessageProcessor: a request that is not well-formed XML, Start tag expected. "
                                "(line 1, column 1); nothing is run"
                             << "The request is not well-formed XML: Start tag expected. (line 1, column 1). "
                                "Nothing was run.";
    // A request never needs a DTD: none is read, so no entity of its own is ever expanded.
    const QString dtdWarning = "XmlMessageProcessor: a request with a DTD (line 1, column 1); nothing is read or run";
    const QString dtdError
        = "The request holds a DTD (line 1, column 1); a request may hold none, and nothing of it was read. Nothing "
          "was run.";
    const QStringList nothingRead { "DATE=", "NAME=", "VERSION=" };
    const QString roWith = "<EXECUTE FUNCTION=\"calculateRo\"><INPUT NAME=\"Mr\" VALUE=\"%1\"/>"
                           "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>";
    QTest::newRow("entity of the request's DTD")
        << "<!DOCTYPE VORNAKEL [<!ENTITY mr \"50000\">]>" + request(kMainScreen, roWith.arg("&mr;")) << nothingRead
        << dtdWarning << dtdError;
    QTest::newRow("entity expanded a million times") << "<!DOCTYPE VORNAKEL [<!ENTITY a \"" + QString(1000, 'x')
            + "\"><!ENTITY b \"" + QString("&a;").repeated(1000) + "\">]>" + request(kMainScreen, roWith.arg("&b;"))
                                                     << nothingRead << dtdWarning << dtdError;
    QTest::newRow("parameter entity") << "<!DOCTYPE VORNAKEL [<!ENTITY % p \"<!ENTITY mr '5'>\"> %p;]>"
            + request(kMainScreen, roWith.arg("1"))
                                      << nothingRead << dtdWarning << dtdError;
    QTest::newRow("DTD outside the request")
        << "<!DOCTYPE VORNAKEL SYSTEM \"file:///etc/passwd\">" + request(kMainScreen, roWith.arg("50000"))
        << nothingRead << dtdWarning << dtdError;
    // More attributes than any request uses are refused before the element is read.
    QString attributes;
    for (int i = 0; i <= 64; ++i)
        attributes += QString(" A%1=\"%1\"").arg(i);
    const QString wide = request(kMainScreen,
        "<EXECUTE FUNCTION=\"calculateRo\"><INPUT NAME=\"Mr\" VALUE=\"50000\"" + attributes + "/></EXECUTE>");
    const QString wideAt = QString("(line 1, column %1)").arg(wide.indexOf("<INPUT") + 1);
    QTest::newRow("element of 66 attributes")
        << wide << nothingRead
        << "XmlMessageProcessor: a request with an element of more than 64 attributes " + wideAt
            + "; nothing is read "
              "or run"
        << "The request has an element with more than 64 attributes " + wideAt
            + ", the most an element may have. "
              "Nothing was run.";
    QTest::newRow("nested too deep")
        << request(kMainScreen,
               "<EXECUTE FUNCTION=\"calculateRo\">" + QString("<OBJECT>").repeated(65)
                   + QString("</OBJECT>").repeated(65) + "</EXECUTE>")
        << mainScreen << "XmlMessageProcessor: OBJECT/ARRAY nesting deeper than 64 levels; nothing is run"
        << "The request nests OBJECT and ARRAY elements deeper than 64 levels, the most a request may. Nothing was "
           "run.";
}

void TestXmlMessageProcessor::answersWithoutRunnableCalls()
{
    QFETCH(QString, xml);
    QFETCH(QStringList, module);
    QFETCH(QString, warning);
    QFETCH(QString, error);
    if (!warning.isEmpty())
        TestLog::ignore(QtWarningMsg, warning.toUtf8().constData());
    QDomDocument document;
    const QString answer = m_processor->submitFromWeb(xml);
    QVERIFY(document.setContent(answer));
    const QDomElement root = document.documentElement();
    QCOMPARE(root.tagName(), QString("VORNAKEL"));
    QCOMPARE(attributes(root.firstChildElement("MODULE")), module);
    // A request that runs nothing says why, in the form of a failed call.
    QCOMPARE(root.childNodes().size(), error.isEmpty() ? 1 : 2);
    if (!error.isEmpty())
        QCOMPARE(testOutputValues(answer), (QMap<QString, QString> { { "ScriptError", error } }));
}

void TestXmlMessageProcessor::runsTheGreatestVersionWithoutOne_data()
{
    QTest::addColumn<QString>("module");
    QTest::newRow("no VERSION") << "<MODULE NAME=\"Echo\"/>";
    QTest::newRow("empty VERSION") << "<MODULE NAME=\"Echo\" VERSION=\"\"/>";
}

void TestXmlMessageProcessor::runsTheGreatestVersionWithoutOne()
{
    QFETCH(QString, module);
    const QString answer
        = m_processor->submitFromWeb(request(module, "<EXECUTE FUNCTION=\"echo\"><INPUT VALUE=\"x\"/></EXECUTE>"));
    QDomDocument document;
    QVERIFY(document.setContent(answer));
    QCOMPARE(attributes(document.documentElement().firstChildElement("MODULE")),
        (QStringList { "DATE=", "NAME=Echo", "VERSION=" }));
    QCOMPARE(document.documentElement().firstChildElement("OUTPUT").attribute("VERSION"), QString("2"));
}

void TestXmlMessageProcessor::refusesACallWithTwoInputsOfOneName_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("call"); // followed by a call of calculateRo with Mr and Vbar on MainScreen
    QTest::addColumn<QString>("first"); // the NAME of its output (with the VALUE of echo), or its ScriptError

    const QString ro = "<EXECUTE FUNCTION=\"calculateRo\">%1<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/></EXECUTE>";
    const QString refused = "The call calculateRo has more than one input named \"Mr\"; which of them is meant is "
                            "not known, so the call was not run.";
    QTest::newRow("two INPUTs") << kMainScreen
                                << ro.arg("<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"Mr\" VALUE=\"1\"/>")
                                << refused;
    QTest::newRow("an OBJECT and an INPUT")
        << kMainScreen << ro.arg("<OBJECT NAME=\"Mr\" VALUE=\"1\"/><INPUT NAME=\"Mr\" VALUE=\"50000\"/>") << refused;
    QTest::newRow("names in two cases are two names")
        << kMainScreen << ro.arg("<INPUT NAME=\"Mr\" VALUE=\"50000\"/><INPUT NAME=\"MR\" VALUE=\"1\"/>")
        << "qtExperimentResultsRp";
    QTest::newRow("tables have no name") << kMainScreen
                                         << ro.arg("<ARRAY/><ARRAY/><INPUT NAME=\"Mr\" VALUE=\"50000\"/>")
                                         << "qtExperimentResultsRp";
    // A module that takes its inputs by position takes each where it stands.
    QTest::newRow("a module that reads by position")
        << "<MODULE NAME=\"Echo\"/>"
        << "<EXECUTE FUNCTION=\"echo\"><INPUT NAME=\"x\" VALUE=\"first\"/><INPUT NAME=\"x\" VALUE=\"second\"/>"
           "</EXECUTE>"
        << "echo=first";
}

void TestXmlMessageProcessor::refusesACallWithTwoInputsOfOneName()
{
    QFETCH(QString, module);
    QFETCH(QString, call);
    QFETCH(QString, first);
    QStringList outputs;
    for (const QString &xml : { request(module, call), request(kMainScreen, kRoCall) }) {
        const QMap<QString, QString> values = testOutputValues(m_processor->submitFromWeb(xml));
        QCOMPARE(values.size(), 1);
        const QString name = values.firstKey();
        outputs << (name == "ScriptError" ? values.first() : name == "echo" ? "echo=" + values.first() : name);
    }
    // The request after it runs.
    QCOMPARE(outputs, (QStringList { first, "qtExperimentResultsRp" }));
}

void TestXmlMessageProcessor::callsOnlyTheFunctionsAModuleOffers_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("offered");

    const QString echo = "<MODULE NAME=\"Echo\"/>";
    // The engine's globals, the calculation module's helper constructors and its identity.
    for (const char *function : { "Array", "Date", "Function", "gc", "print", "eval", "toString", "Inputs", "Results",
             "NameMap", "getModuleVersion" })
        QTest::newRow(qPrintable(QString("MainScreen ") + function)) << kMainScreen << function << false;
    QTest::newRow("MainScreen calculateVBarAtT") << kMainScreen << "calculateVBarAtT" << true;
    QTest::newRow("MainScreen calculationsFromSigma") << kMainScreen << "calculationsFromSigma" << true;
    for (const char *function : { "Array", "print", "parseInt", "hasOwnProperty" })
        QTest::newRow(qPrintable(QString("Echo ") + function)) << echo << function << false;
    // Any other module offers the functions its own text defines.
    QTest::newRow("Echo letters") << echo << "letters" << true;
    QTest::newRow("Echo getModuleVersion") << echo << "getModuleVersion" << true;
}

void TestXmlMessageProcessor::callsOnlyTheFunctionsAModuleOffers()
{
    QFETCH(QString, module);
    QFETCH(QString, function);
    QFETCH(bool, offered);
    const QString answer = m_processor->submitFromWeb(request(module,
        "<EXECUTE FUNCTION=\"" + function
            + "\"><INPUT NAME=\"Vbar\" VALUE=\"0.73\"/>"
              "<INPUT NAME=\"EquilibriumTemp\" VALUE=\"20\"/><INPUT NAME=\"T\" VALUE=\"20\"/></EXECUTE>"));
    const QString error = testOutputValues(answer).value("ScriptError");
    const QString moduleName = module.contains("Echo") ? "Echo" : "MainScreen";
    if (offered)
        QVERIFY2(error.isEmpty(), qPrintable(answer));
    else
        QCOMPARE(error,
            QString("The module %1 does not offer the function \"%2\" to be called; the call was not run.")
                .arg(moduleName, function));
    // A helper run as a function would have left its members behind as globals.
    const auto *plugin = qobject_cast<AppQtScriptPlugin *>(m_processor->findPlugin(moduleName, QString()));
    QVERIFY(plugin);
    QVERIFY(!plugin->engine()->globalObject().property("values").isValid());
    QVERIFY(!plugin->engine()->globalObject().property("items").isValid());
}

void TestXmlMessageProcessor::writesArraysOfPlainValues()
{
    const QString answer = m_processor->submitFromWeb(
        request("<MODULE NAME=\"Echo\" VERSION=\"1\"/>", "<EXECUTE FUNCTION=\"letters\"/>"));
    QDomDocument document;
    QVERIFY2(document.setContent(answer), qPrintable(answer));
    const QDomElement array = document.documentElement().firstChildElement("MODULE").nextSiblingElement();
    QCOMPARE(array.tagName(), QString("ARRAY"));
    QStringList items;
    for (QDomElement e = array.firstChildElement("OUTPUT"); !e.isNull(); e = e.nextSiblingElement("OUTPUT"))
        items << e.attribute("INDEX") + "=" + e.attribute("VALUE");
    QCOMPARE(items, (QStringList { "0=a", "1=b" }));
}

void TestXmlMessageProcessor::keepsEveryAnswerUnderItsLimit_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QString>("warning"); // a pattern
    QTest::addColumn<QString>("moduleName"); // of the answer's MODULE element
    QTest::addColumn<QString>("error"); // what the one ScriptError begins with

    const QString quotes(1048000, '"'); // each one six bytes in an answer
    const QString repeated = "The answer to this request would pass 4194304 bytes (4 MiB), the most an answer may "
                             "take, with what it repeats of the request; nothing was run.";
    const QString dropped = "The answer would pass 4194304 bytes (4 MiB), the most an answer may take; its results "
                            "were dropped after 1 of 1 calls.";
    QTest::newRow("a MODULE VERSION of a megabyte of quotes")
        << request("<MODULE NAME=\"MainScreen\" VERSION='" + quotes + "'/>", "<EXECUTE FUNCTION=\"calculateRo\"/>")
        << "^XmlMessageProcessor: the MODULE element of a request would make its answer pass 4194304 bytes; "
           "nothing is run$"
        << "" << repeated;
    // The module is not loaded, and the refusal would repeat its name.
    const QString ampersands(700 * 1024, '&');
    QTest::newRow("a refusal that repeats a long module name")
        << request("<MODULE NAME=\"" + QString("&amp;").repeated(ampersands.size()) + "\"/>", QString())
        << "^Plugin not found!$" << ampersands << repeated;
    QTest::newRow("a function name of a megabyte of quotes")
        << request(kMainScreen, "<EXECUTE FUNCTION='" + quotes + "'/>")
        << "^XmlMessageProcessor: the answer would pass 4194304 bytes; its results are dropped$"
        << "MainScreen" << dropped;
    QTest::newRow("a value of a megabyte of quotes, echoed")
        << request("<MODULE NAME=\"Echo\"/>", "<EXECUTE FUNCTION=\"echo\"><INPUT VALUE='" + quotes + "'/></EXECUTE>")
        << "^XmlMessageProcessor: the answer would pass 4194304 bytes; its results are dropped$"
        << "Echo" << dropped;
}

void TestXmlMessageProcessor::keepsEveryAnswerUnderItsLimit()
{
    QFETCH(QString, xml);
    QFETCH(QString, warning);
    QFETCH(QString, moduleName);
    QFETCH(QString, error);
    TestLog::ignore(QtWarningMsg, QRegularExpression(warning));
    if (xml.contains("FUNCTION='"))
        TestLog::ignore(QtWarningMsg, QRegularExpression("^Exec Error: The module MainScreen has no function"));
    const QString answer = m_processor->submitFromWeb(xml);
    // With the line feed that follows it on a connection.
    QVERIFY2(answer.toUtf8().size() + 1 <= 4 * 1024 * 1024, qPrintable(QString::number(answer.toUtf8().size())));
    QDomDocument document;
    QVERIFY(document.setContent(answer));
    QCOMPARE(document.documentElement().firstChildElement("MODULE").attribute("NAME"), moduleName);
    const QMap<QString, QString> values = testOutputValues(answer);
    QCOMPARE(values.keys(), QStringList { "ScriptError" });
    QCOMPARE(values.first(), error);
}

void TestXmlMessageProcessor::answersAResultWholeOrNotAtAll_data()
{
    QTest::addColumn<bool>("cgi"); // else a page's request
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("elements"); // OUTPUT, OBJECT and ARRAY elements of a whole result
    QTest::addColumn<QString>("why"); // the ScriptError's VALUE, else empty

    const QString deep = "The result nests objects and arrays deeper than 64 levels, the most a result may; none of "
                         "it was answered.";
    const QString tooMany = "The result holds more than 100000 objects (an object held at several places counted at "
                            "each), the most a result may; none of it was answered.";
    const QString itself = "The result contains itself: its member rows.1 refers back to an object that holds it; a "
                           "result that contains itself cannot be answered whole, and none of it was answered.";
    const QString with = "<EXECUTE FUNCTION=\"%1\"><INPUT VALUE=\"%2\"/></EXECUTE>";
    for (const bool cgi : { false, true }) {
        const QString front = cgi ? "CGI: " : "page: ";
        QTest::newRow(qPrintable(front + "64 levels")) << cgi << with.arg("nested").arg(64) << 64 << "";
        QTest::newRow(qPrintable(front + "65 levels")) << cgi << with.arg("nested").arg(65) << 0 << deep;
        QTest::newRow(qPrintable(front + "3,000 levels")) << cgi << with.arg("nested").arg(3000) << 0 << deep;
        QTest::newRow(qPrintable(front + "itself")) << cgi << "<EXECUTE FUNCTION=\"itself\"/>" << 0 << itself;
        QTest::newRow(qPrintable(front + "100,000 objects")) << cgi << with.arg("objects").arg(100000) << 100001 << "";
        QTest::newRow(qPrintable(front + "100,001 objects")) << cgi << with.arg("objects").arg(100001) << 0 << tooMany;
    }
}

void TestXmlMessageProcessor::answersAResultWholeOrNotAtAll()
{
    QFETCH(bool, cgi);
    QFETCH(QString, call);
    QFETCH(int, elements);
    QFETCH(QString, why);
    const QString xml = request("<MODULE NAME=\"Echo\"/>", call);
    QString answer;
    if (cgi) {
        const CgiRun run = runCgi(m_modules.path(), m_database.path(), xml.toUtf8());
        QCOMPARE(run.exitCode, 0);
        answer = QString::fromUtf8(run.body);
        // The web server's log says why as well.
        if (!why.isEmpty())
            QVERIFY2(run.errors.contains(("Exec Error: " + why).toUtf8()), run.errors.constData());
    } else {
        if (!why.isEmpty())
            TestLog::ignore(QtWarningMsg, qPrintable("Exec Error: " + why));
        answer = m_processor->submitFromWeb(xml);
    }
    QDomDocument document;
    QVERIFY(document.setContent(answer));
    const QDomElement root = document.documentElement();
    int written = 0;
    for (const char *name : { "OUTPUT", "OBJECT", "ARRAY" })
        written += root.elementsByTagName(name).size();
    if (!why.isEmpty()) {
        QCOMPARE(testOutputValues(answer), (QMap<QString, QString> { { "ScriptError", why } }));
        QCOMPARE(written, 1);
        return;
    }
    QCOMPARE(testOutputValues(answer).value("ScriptError"), QString());
    QCOMPARE(written, elements);
}

void TestXmlMessageProcessor::leavesOutOnlyWhatPassesTheOutputBudget_data()
{
    QTest::addColumn<QList<int>>("printed"); // characters each call prints, a line end counted beside them
    QTest::addColumn<bool>("note"); // the last is left out, and a line says so

    const int budget = AppLog::OutputBudget::RequestCharacters;
    QTest::newRow("exactly the budget") << QList<int> { budget - 1 } << false;
    QTest::newRow("one character more") << QList<int> { budget } << true;
    QTest::newRow("two calls, exactly the budget") << QList<int> { 99, budget - 101 } << false;
    QTest::newRow("two calls, one character more") << QList<int> { 99, budget - 100 } << true;
}

void TestXmlMessageProcessor::leavesOutOnlyWhatPassesTheOutputBudget()
{
    QFETCH(QList<int>, printed);
    QFETCH(bool, note);
    QString calls;
    QStringList expected;
    for (const int characters : printed) {
        calls += QString("<EXECUTE FUNCTION=\"say\"><INPUT VALUE=\"%1\"/></EXECUTE>").arg(characters);
        expected << QString(characters, 'x');
    }
    if (note)
        expected.last() = AppLog::OutputBudget::note();
    TestLog::Capture output;
    const QString answer = m_processor->submitFromWeb(request("<MODULE NAME=\"Echo\"/>", calls));
    QCOMPARE(output.messages(), expected);
    QCOMPARE(answer.count("NAME=\"say\""), printed.size());
}

void TestXmlMessageProcessor::logsOnlyNonBlankMessages()
{
    QSignalSpy spy(m_processor, &XmlMessageProcessor::sigLog);
    m_processor->log(" \t ");
    QCOMPARE(spy.count(), 0);
    m_processor->log(" page ready");
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString(" page ready"));
    QCOMPARE(spy.at(0).at(1).toInt(), 100);
}

void TestXmlMessageProcessor::logsTheStartOfALongMessage()
{
    // What a request repeats in a warning is cut there as in sql.log: the
    // log of a serving program is no copy of every request's text.
    const QString name(100000, 'x');
    const QString warning = "Exec Error: The module MainScreen has no function \"" + name + "\".";
    TestLog::ignore(QtWarningMsg,
        QRegularExpression("^" + QRegularExpression::escape(warning.left(4096))
            + QString(" \\.\\.\\. \\(%1 more characters not logged\\)$").arg(warning.size() - 4096)));
    const QString answer = m_processor->submitFromWeb(request(kMainScreen, "<EXECUTE FUNCTION=\"" + name + "\"/>"));
    // The answer names it whole.
    QCOMPARE(testOutputValues(answer).value("ScriptError"), "The module MainScreen has no function \"" + name + "\".");
}

void TestXmlMessageProcessor::readsServerSettings_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("warning");

    const QString loopback = QStringLiteral("127.0.0.1");
    QTest::newRow("no PORT line") << QByteArray("RESET:false\n") << false << loopback << false << QString();
    QTest::newRow("port:0 in lower case") << QByteArray("port:0\n") << true << loopback << true << QString();
    QTest::newRow("blanks around the value") << QByteArray("PORT:  0 \n") << true << loopback << true << QString();
    QTest::newRow("report is no PORT line") << QByteArray("report 5300\n") << false << loopback << true << QString();
    QTest::newRow("letter among the digits")
        << QByteArray("PORT:53x0\n") << false << loopback << true << QString("53x0");
    QTest::newRow("over 65535") << QByteArray("PORT:70000\n") << false << loopback << true << QString("70000");
    QTest::newRow("empty value") << QByteArray("PORT:\n") << false << loopback << true << QString("");
    QTest::newRow("IPv6 loopback") << QByteArray("PORT:0\nADDRESS:::1\n") << true << "::1" << true << QString();
    QTest::newRow("address opted in") << QByteArray("PORT:0\naddress:0.0.0.0\n") << true << "0.0.0.0" << true
                                      << QString();
    QTest::newRow("RESET:TRUE") << QByteArray("PORT:0\nRESET:TRUE\n") << true << loopback << true << QString();
    QTest::newRow("reset:true") << QByteArray("PORT:0\nreset:true\n") << true << loopback << true << QString();
    QTest::newRow("RESET: TRUE") << QByteArray("PORT:0\nRESET: TRUE\n") << true << loopback << false << QString();
    QTest::newRow("RESET:yes") << QByteArray("PORT:0\nRESET:yes\n") << true << loopback << false << QString();
}

void TestXmlMessageProcessor::readsServerSettings()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, listening);
    QFETCH(QString, address);
    QFETCH(bool, reset);
    QFETCH(QString, warning);

    if (!warning.isNull()) {
        TestLog::ignore(QtWarningMsg,
            qPrintable(QString("vornakel.ini: the port \"%1\" is not a number from 0 to 65535; no message server")
                           .arg(warning)));
    }
    if (address == "::1" && !QTcpServer().listen(QHostAddress::LocalHostIPv6))
        QSKIP("This machine has no IPv6 loopback");
    writeSettings(ini);
    // The port the system chose is what a person needs to connect: it reaches the log by default.
    if (listening)
        TestLog::ignore(QtWarningMsg,
            QRegularExpression(
                "^Message server listening on " + QRegularExpression::escape(address) + ":[1-9][0-9]*$"));
    XmlMessageProcessor processor(m_database.path(), false);
    QCOMPARE(processor.isListening(), listening);
    QCOMPARE(processor.resetAfterAnswer(), reset);
    QCOMPARE(processor.configuredAddress().toString(), address);
    if (listening) {
        QCOMPARE(processor.serverAddress().toString(), address);
        QVERIFY(processor.serverPort() != 0); // 0 lets the system choose
    }
}

void TestXmlMessageProcessor::takesEveryPortUpTo65535_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("port"); // as configured; the default when refused
    QTest::addColumn<bool>("refused");
    QTest::newRow("65535") << QByteArray("PORT:65535\n") << 65535 << false;
    QTest::newRow("65536") << QByteArray("PORT:65536\n") << int(XmlMessageProcessor::DefaultPort) << true;
    QTest::newRow("70000") << QByteArray("PORT:70000\n") << int(XmlMessageProcessor::DefaultPort) << true;
}

void TestXmlMessageProcessor::takesEveryPortUpTo65535()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, port);
    QFETCH(bool, refused);
    writeSettings(ini);
    // Whether the port is free on this machine is not the question: what was taken from the file is.
    TestLog::Capture output;
    XmlMessageProcessor processor(m_database.path(), false);
    QCOMPARE(int(processor.configuredPort()), port);
    const QString refusal = QString("vornakel.ini: the port \"%1\" is not a number from 0 to 65535; no message server")
                                .arg(QString::fromLatin1(ini.mid(5).trimmed()));
    QCOMPARE(output.messages().contains(refusal), refused);
    if (processor.isListening())
        QCOMPARE(int(processor.serverPort()), port);
    else
        QVERIFY(output.messages().filter("Message server listening").isEmpty());
}

void TestXmlMessageProcessor::secondProcessorOnThePortGetsNoServer()
{
    writeSettings("PORT:0\n");
    TestLog::ignore(QtWarningMsg, QRegularExpression("^Message server listening on "));
    XmlMessageProcessor first(m_database.path(), false);
    QVERIFY(first.isListening());
    writeSettings("PORT:" + QByteArray::number(first.serverPort()) + "\n");
    XmlMessageProcessor second(m_database.path(), false);
    QVERIFY(!second.isListening());
    QVERIFY(first.isListening());
}

void TestXmlMessageProcessor::cgiAnswersOneRequest_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("type"); // of the answer's root
    QTest::addColumn<QString>("expected"); // NAME=VALUE of the one OUTPUT

    const QString ro = "<EXECUTE FUNCTION=\"calculateRo\">\n<INPUT NAME=\"Mr\" VALUE=\"50000\"/>\n"
                       "<INPUT NAME=\"Vbar\" VALUE=\"0.73\"/>\n</EXECUTE>\n";
    QTest::newRow("calculateRo") << request(kMainScreen, ro).toUtf8() << "Output"
                                 << "qtExperimentResultsRp";
    QTest::newRow("non-ASCII") << request("<MODULE NAME=\"Echo\"/>",
        QString::fromUtf8("<EXECUTE FUNCTION=\"echo\"><INPUT VALUE=\"Gr\xc3\xb6\xc3\x9f"
                          "e \xc2\xb5m \xe2\x9c\x93\"/>"
                          "</EXECUTE>"))
                                      .toUtf8()
                               << "Output"
                               << QString::fromUtf8("echo=Gr\xc3\xb6\xc3\x9f"
                                                    "e \xc2\xb5m \xe2\x9c\x93");
    // A zero byte is read like any other, so the request is not well-formed.
    QTest::newRow("zero byte between two calls")
        << request(kMainScreen, ro + QString(QChar(0)) + ro).toUtf8() << "Output"
        << "ScriptError=The request is not well-formed XML: Character U+0000 is not allowed in XML. (line 5, column "
           "1). Nothing was "
           "run.";
    // Read as U+FFFD, the byte would reach the call as a wrong figure.
    const QByteArray latin1 = request(kMainScreen, ro).toUtf8().replace("50000", "5\xe9");
    QTest::newRow("a byte that is not UTF-8")
        << latin1 << "Output"
        << QString("ScriptError=The request is not well-formed XML: Byte 0xE9 is not UTF-8 text. (line 2, column "
                   "%1). Nothing was run.")
               .arg(latin1.indexOf("\xe9") - latin1.indexOf("<INPUT NAME=\"Mr\"") + 1);
    // As the server frames it: what comes before the request counts against no limit.
    QTest::newRow("a megabyte before the request")
        << QByteArray(1024 * 1024, '\n') + request(kMainScreen, ro).toUtf8() << "Output"
        << "qtExperimentResultsRp";
    QTest::newRow("no closing tag") << QByteArray("<VORNAKEL TYPE=\"Input\">\n") << "Error"
                                    << "ScriptError=The input ended before the closing tag </VORNAKEL> of the "
                                       "request; nothing was run.";
    QTest::newRow("over 1 MiB") << "<VORNAKEL>" + QByteArray(1024 * 1024, ' ') + "</VORNAKEL>"
                                << "Error"
                                << "ScriptError=The request is over 1048576 bytes (1 MiB), the most a request may "
                                   "take; nothing was run.";
}

void TestXmlMessageProcessor::cgiAnswersOneRequest()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, type);
    QFETCH(QString, expected);

    const CgiRun run = runCgi(m_modules.path(), m_database.path(), input);
    QCOMPARE(run.exitCode, 0);
    // The length counts every byte after the header.
    QCOMPARE(run.header,
        "Content-Length: " + QByteArray::number(run.body.size()) + "\nContent-Type: text/xml; charset=UTF-8");
    QDomDocument document;
    QVERIFY2(document.setContent(run.body), run.body.constData());
    QCOMPARE(document.documentElement().attribute("TYPE"), type);
    const QMap<QString, QString> values = testOutputValues(QString::fromUtf8(run.body));
    QCOMPARE(values.size(), 1);
    if (expected == "qtExperimentResultsRp")
        QVERIFY(near(values.value(expected), sphereRadius(50000, 0.73)));
    else
        QCOMPARE(values.firstKey() + "=" + values.first(), expected);
}

void TestXmlMessageProcessor::cgiReadsExactlyContentLength_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("contentLength");
    QTest::addColumn<QString>("refusal"); // the error document's ScriptError; empty: answered

    const QByteArray body = request(kMainScreen, kRoCall).toUtf8();
    const QByteArray length = QByteArray::number(body.size());
    const QString over = "The request is over 1048576 bytes (1 MiB), the most a request may take; nothing was run.";
    const QString notDigits = "CONTENT_LENGTH \"%1\" is not a number of bytes in ASCII digits; nothing was run.";
    QTest::newRow("the body alone") << body << length << "";
    QTest::newRow("more input than the body") << body + "\n<VORNAKEL><MODULE NAME=\"x\"/>" << length << "";
    QTest::newRow("leading zeros") << body << "000" + length << "";
    QTest::newRow("over 1 MiB") << body << QByteArray::number(1024 * 1024 + 1) << over;
    QTest::newRow("more digits than a number holds") << body << QByteArray(30, '9') << over;
    // A length is ASCII digits only, and a refusal quotes what it was given as it reads.
    const QString text = QString::fromLatin1(length);
    QTest::newRow("a plus sign") << body << "+" + length << notDigits.arg("+" + text);
    QTest::newRow("a minus sign") << body << "-" + length << notDigits.arg("-" + text);
    QTest::newRow("a blank before") << body << " " + length << notDigits.arg(" " + text);
    QTest::newRow("a line end after") << body << length + "\n" << notDigits.arg(text + "\\x0A");
    QTest::newRow("hexadecimal") << body << QByteArray("0x1a") << notDigits.arg("0x1a");
    const QString arabic = QString::fromUtf8("\xd9\xa1\xd9\xa6\xd9\xa0"); // 160 in Arabic-Indic digits
    QTest::newRow("Arabic-Indic digits") << body << arabic.toUtf8() << notDigits.arg(arabic);
    const QString fullWidth = QString::fromUtf8("\xef\xbc\x91\xef\xbc\x96\xef\xbc\x90");
    QTest::newRow("full-width digits") << body << fullWidth.toUtf8() << notDigits.arg(fullWidth);
    QTest::newRow("bytes that are not UTF-8")
        << body << QByteArray("1\xff\xd9") + "6\x01" << notDigits.arg("1\\xFF\\xD96\\x01");
    QTest::newRow("a long value") << body << QByteArray(500, 'x') << notDigits.arg(QString(80, 'x') + "...");
}

void TestXmlMessageProcessor::cgiReadsExactlyContentLength()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, contentLength);
    QFETCH(QString, refusal);

    // Standard input stays open, as a web server may leave it.
    const CgiRun run = runCgi(m_modules.path(), m_database.path(), input, contentLength, true);
    QCOMPARE(run.exitCode, 0);
    if (!refusal.isEmpty()) {
        QVERIFY2(run.body.startsWith("<VORNAKEL TYPE=\"Error\">"), run.body.constData());
        QCOMPARE(
            testOutputValues(QString::fromUtf8(run.body)), (QMap<QString, QString> { { "ScriptError", refusal } }));
        // The web server's log quotes it the same way.
        QVERIFY2(run.errors.contains(("CGI input refused: " + refusal).toUtf8()), run.errors.constData());
        return;
    }
    const QMap<QString, QString> values = testOutputValues(QString::fromUtf8(run.body));
    QCOMPARE(values.keys(), QStringList { "qtExperimentResultsRp" });
    QVERIFY(near(values.value("qtExperimentResultsRp"), sphereRadius(50000, 0.73)));
}

void TestXmlMessageProcessor::cgiRefusesADatabaseThatIsNotThere_data()
{
    QTest::addColumn<QString>("name"); // in an empty folder
    QTest::addColumn<QString>("why");
    QTest::newRow("missing") << "missing.db"
                             << "The database file %1 does not exist; nothing was run.";
    QTest::newRow("in a missing folder") << "gone/missing.db"
                                         << "The database file %1 does not exist; nothing was run.";
    QTest::newRow("a folder") << "."
                              << "The database %1 is not a file; nothing was run.";
}

void TestXmlMessageProcessor::cgiRefusesADatabaseThatIsNotThere()
{
    QFETCH(QString, name);
    QFETCH(QString, why);
    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    const CgiRun run = runCgi(m_modules.path(), path, request(kMainScreen, kRoCall).toUtf8());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.body.startsWith("<VORNAKEL TYPE=\"Error\">"), run.body.constData());
    QCOMPARE(
        testOutputValues(QString::fromUtf8(run.body)), (QMap<QString, QString> { { "ScriptError", why.arg(path) } }));
    // Nothing was made there: no database, no journal.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestXmlMessageProcessor::cgiRefusesACharacterXmlDoesNotAllowWhereverItStands_data()
{
    testForbiddenCharacterRows();
}

void TestXmlMessageProcessor::cgiRefusesACharacterXmlDoesNotAllowWhereverItStands()
{
    QFETCH(QChar, character);
    const QMap<int, QByteArray> requests = testRequestsWithCharacter(character);
    QStringList answers;
    for (const CgiRun &run : runCgiEach(m_modules.path(), m_database.path(), requests.values())) {
        QCOMPARE(run.exitCode, 0);
        answers << QString::fromUtf8(run.body);
    }
    const QString wrong = testAnswersNotRefusing(character, requests.keys(), answers);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
}

void TestXmlMessageProcessor::cgiBoundsWhatOneRequestWritesToItsOutput()
{
    // Standard error of a CGI program goes to the web server's log: 1,000
    // calls of a function the module does not have, each reported there.
    const QString call = "<EXECUTE FUNCTION=\"" + QString(900, 'n') + "\"/>";
    const CgiRun run = runCgi(m_modules.path(), m_database.path(), request(kMainScreen, call.repeated(1000)).toUtf8());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromUtf8(run.body).count("ScriptError"), 1000);
    QVERIFY2(run.errors.contains(AppLog::OutputBudget::note().toUtf8()), run.errors.right(300).constData());
    // Each line has its category in front.
    QVERIFY2(run.errors.size() <= AppLog::OutputBudget::RequestCharacters + 1024,
        qPrintable(QString::number(run.errors.size())));
}

void TestXmlMessageProcessor::logsWhereTheServerListens()
{
    // A port that is free now and not 0: the system chose none.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    writeSettings("PORT:" + QByteArray::number(port) + "\n");
    TestLog::ignore(QtWarningMsg, qPrintable(QString("Message server listening on 127.0.0.1:%1").arg(port)));
    XmlMessageProcessor processor(m_database.path(), false);
    QVERIFY(processor.isListening());
}

TEST_GUILESS_MAIN(TestXmlMessageProcessor)
#include "tst_xml_messageprocessor.moc"
