// The request builder: the request text of each calculation function.

#include "xml/xml_creator.h"

#include "test_log.h"

#include <QtTest>

class TestXmlCreator : public QObject
{
    Q_OBJECT

private slots:
    void buildsEachRequest_data();
    void buildsEachRequest();
    void escapesValues();
};

namespace {
const char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VORNAKEL TYPE=\"Input\">\n"
                     "<MODULE NAME=\"MainScreen\" VERSION=\"20100622\" DATE=\"2010/06/22\"/>\n";

QString request(const QString &function, const QStringList &names)
{
    QString text = QString::fromLatin1(kHead) + QStringLiteral("<EXECUTE FUNCTION=\"%1\">\n").arg(function);
    int n = 0;
    for (const QString &name : names) {
        const QString value = name == "Vbar20" ? QStringLiteral("0.73") : QString::number(++n);
        text += QStringLiteral("<INPUT NAME=\"%1\"><VALUE>%2</VALUE></INPUT>\n").arg(name, value);
    }
    return text + QStringLiteral("</EXECUTE>\n</VORNAKEL>\n");
}
} // namespace

void TestXmlCreator::buildsEachRequest_data()
{
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");

    using L = QStringList;
    auto add = [](const char *function, const QStringList &names, const std::function<void(XmlCreator &)> &build) {
        XmlCreator creator;
        creator.start();
        build(creator);
        QTest::newRow(function) << creator.finish() << request(QString::fromLatin1(function), names);
    };
    add("calculateRo", L { "Mr", "Vbar" }, [](XmlCreator &c) { c.xmlCalculateRo("1", "2"); });
    add("calculateMbFromSigma", L { "T", "sigma", "RPM" },
        [](XmlCreator &c) { c.xmlCalculateMbFromSigma("1", "2", "3"); });
    add("calculateMbDirectly", L { "Mr", "Vbar", "Density" },
        [](XmlCreator &c) { c.xmlCalculateMbDirectly("1", "2", "3"); });
    add("calculateMr", L { "T", "sigma", "RPM", "Vbar", "density" },
        [](XmlCreator &c) { c.xmlCalculateMr("1", "2", "3", "4", "5"); });
    add("calculationsFromSigma", L { "T", "sigma", "RPM", "Vbar", "density" },
        [](XmlCreator &c) { c.xmlCalculationsFromSigma("1", "2", "3", "4", "5"); });
    add("calculateViscAtT", L { "Visc", "T" }, [](XmlCreator &c) { c.xmlCalculateViscosityAtT("1", "2"); });
    add("calculateDensityAtT", L { "T", "Density" }, [](XmlCreator &c) { c.xmlCalculateDensityAtT("1", "2"); });
    add("calculateS20W", L { "Tone", "Ttwo", "S", "Vbar20", "Visc", "Vbar", "Density" },
        [](XmlCreator &c) { c.xmlCalculateS20W("1", "2", "3", "4", "5", "6"); });
    add("calculateSigmaFromMr", L { "T", "RPM", "Mr", "Vbar", "density" },
        [](XmlCreator &c) { c.xmlCalculateSigmaFromMr("1", "2", "3", "4", "5"); });
    add("calculateSo20W", L { "Tone", "Ttwo", "S", "Vbar20", "Visc", "Vbar", "Density", "K", "Cp" },
        [](XmlCreator &c) { c.xmlCalculateSo20W("1", "2", "3", "4", "5", "6", "7", "8"); });
    add("calculateVBarAtT", L { "Vbar", "T" }, [](XmlCreator &c) { c.xmlCalculateVBarAtT("1", "2"); });
}

void TestXmlCreator::buildsEachRequest()
{
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TestXmlCreator::escapesValues()
{
    XmlCreator creator;
    QVERIFY(creator.getXml().isNull());
    creator.start();
    creator.xmlCalculateRo("1</VALUE><INPUT NAME=\"x\"/>", "2");
    QVERIFY(creator.getXml().contains("<VALUE>1&lt;/VALUE&gt;&lt;INPUT NAME=&quot;x&quot;/&gt;</VALUE>"));
}

TEST_GUILESS_MAIN(TestXmlCreator)
#include "tst_xml_creator.moc"
