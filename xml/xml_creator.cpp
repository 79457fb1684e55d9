#include "xml/xml_creator.h"

namespace {
// The partial specific volume at 20 C that the s20,w requests always carry.
const QString kVbar20 = QStringLiteral("0.73");
} // namespace

XmlCreator::XmlCreator(QObject *parent) : QObject(parent) { }

void XmlCreator::start()
{
    m_xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<VORNAKEL TYPE=\"Input\">\n"
                           "<MODULE NAME=\"MainScreen\" VERSION=\"20100622\" DATE=\"2010/06/22\"/>\n");
}

QString XmlCreator::finish()
{
    m_xml += QStringLiteral("</VORNAKEL>\n");
    return m_xml;
}

void XmlCreator::execute(const char *function, const QList<Input> &inputs)
{
    m_xml += QStringLiteral("<EXECUTE FUNCTION=\"%1\">\n").arg(QLatin1String(function));
    for (const Input &input : inputs) {
        // Escaped, so that a value can never close the element or add one.
        m_xml += QStringLiteral("<INPUT NAME=\"%1\"><VALUE>%2</VALUE></INPUT>\n")
                     .arg(QLatin1String(input.name), input.value.toHtmlEscaped());
    }
    m_xml += QStringLiteral("</EXECUTE>\n");
}

void XmlCreator::xmlCalculateRo(const QString &mr, const QString &vbar)
{
    execute("calculateRo", { { "Mr", mr }, { "Vbar", vbar } });
}

void XmlCreator::xmlCalculateMbFromSigma(const QString &t, const QString &sigma, const QString &rpm)
{
    execute("calculateMbFromSigma", { { "T", t }, { "sigma", sigma }, { "RPM", rpm } });
}

void XmlCreator::xmlCalculateMbDirectly(const QString &mr, const QString &vbar, const QString &density)
{
    execute("calculateMbDirectly", { { "Mr", mr }, { "Vbar", vbar }, { "Density", density } });
}

void XmlCreator::xmlCalculateMr(
    const QString &t, const QString &sigma, const QString &rpm, const QString &vbar, const QString &density)
{
    execute(
        "calculateMr", { { "T", t }, { "sigma", sigma }, { "RPM", rpm }, { "Vbar", vbar }, { "density", density } });
}

void XmlCreator::xmlCalculationsFromSigma(
    const QString &t, const QString &sigma, const QString &rpm, const QString &vbar, const QString &density)
{
    execute("calculationsFromSigma",
        { { "T", t }, { "sigma", sigma }, { "RPM", rpm }, { "Vbar", vbar }, { "density", density } });
}

void XmlCreator::xmlCalculateViscosityAtT(const QString &visc, const QString &t)
{
    execute("calculateViscAtT", { { "Visc", visc }, { "T", t } });
}

void XmlCreator::xmlCalculateDensityAtT(const QString &t, const QString &density)
{
    execute("calculateDensityAtT", { { "T", t }, { "Density", density } });
}

void XmlCreator::xmlCalculateS20W(const QString &tOne, const QString &tTwo, const QString &s, const QString &visc,
    const QString &vbar, const QString &density)
{
    execute("calculateS20W",
        { { "Tone", tOne }, { "Ttwo", tTwo }, { "S", s }, { "Vbar20", kVbar20 }, { "Visc", visc }, { "Vbar", vbar },
            { "Density", density } });
}

void XmlCreator::xmlCalculateSigmaFromMr(
    const QString &t, const QString &rpm, const QString &mr, const QString &vbar, const QString &density)
{
    execute(
        "calculateSigmaFromMr", { { "T", t }, { "RPM", rpm }, { "Mr", mr }, { "Vbar", vbar }, { "density", density } });
}

void XmlCreator::xmlCalculateSo20W(const QString &tOne, const QString &tTwo, const QString &s, const QString &visc,
    const QString &vbar, const QString &density, const QString &k, const QString &cp)
{
    execute("calculateSo20W",
        { { "Tone", tOne }, { "Ttwo", tTwo }, { "S", s }, { "Vbar20", kVbar20 }, { "Visc", visc }, { "Vbar", vbar },
            { "Density", density }, { "K", k }, { "Cp", cp } });
}

void XmlCreator::xmlCalculateVBarAtT(const QString &vbar, const QString &t)
{
    execute("calculateVBarAtT", { { "Vbar", vbar }, { "T", t } });
}
