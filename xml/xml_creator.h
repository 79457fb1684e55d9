#ifndef XML_CREATOR_H
#define XML_CREATOR_H

#include <QObject>
#include <QString>

// Builds request messages for the calculation functions: start(), one or more
// builders, finish(). Each input travels as the text of a VALUE element.
class XmlCreator : public QObject
{
    Q_OBJECT

public:
    explicit XmlCreator(QObject *parent = nullptr);

    void start();
    QString finish();
    QString getXml() const { return m_xml; }
    void clear() { m_xml = QString(); }

    void xmlCalculateRo(const QString &mr, const QString &vbar);
    void xmlCalculateMbFromSigma(const QString &t, const QString &sigma, const QString &rpm);
    void xmlCalculateMbDirectly(const QString &mr, const QString &vbar, const QString &density);
    void xmlCalculateMr(
        const QString &t, const QString &sigma, const QString &rpm, const QString &vbar, const QString &density);
    void xmlCalculationsFromSigma(
        const QString &t, const QString &sigma, const QString &rpm, const QString &vbar, const QString &density);
    void xmlCalculateViscosityAtT(const QString &visc, const QString &t);
    void xmlCalculateDensityAtT(const QString &t, const QString &density);
    void xmlCalculateS20W(const QString &tOne, const QString &tTwo, const QString &s, const QString &visc,
        const QString &vbar, const QString &density);
    void xmlCalculateSigmaFromMr(
        const QString &t, const QString &rpm, const QString &mr, const QString &vbar, const QString &density);
    void xmlCalculateSo20W(const QString &tOne, const QString &tTwo, const QString &s, const QString &visc,
        const QString &vbar, const QString &density, const QString &k, const QString &cp);
    void xmlCalculateVBarAtT(const QString &vbar, const QString &t);

signals:
    void sigLog(const QString &message, int logLevel);

private:
    struct Input
    {
        const char *name;
        QString value;
    };
    void execute(const char *function, const QList<Input> &inputs);

    QString m_xml;
};

#endif
