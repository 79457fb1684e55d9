// The buffer series fit: run again from the handbook rows, it gives the shipped
// series file, every series covers at least 1 M or all of its rows, and every
// viscosity series starts from water as the Jones-Dole equation has it.

#include "sql/sql_referencedata.h"
#include "test_environment.h"
#include "test_log.h"
#include "tools/tools_bufferfit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstToolsBufferFit : public QObject
{
    Q_OBJECT

private slots:
    void refitGivesTheShippedSeries()
    {
        const QDir shipped(SqlReferenceData::shippedFolder(testSourceDir()));
        QList<ToolsBufferFit::Data> data;
        QString error;
        QVERIFY2(ToolsBufferFit::readData(shipped.filePath("buffer_data.csv"), &data, &error), qPrintable(error));
        QList<ToolsBufferFit::Series> series;
        for (const ToolsBufferFit::Data &d : qAsConst(data)) {
            series << ToolsBufferFit::fit(d);
            // Never short of 1 M, nor of the last row when the rows stop below it.
            QVERIFY2(series.last().cmaxText.toDouble() >= std::min(1.0, d.points.last().c), qPrintable(d.solute));
        }
        QCOMPARE(series.size(), 72);
        QTemporaryDir dir;
        const QString refit = dir.filePath("buffer_series.csv");
        QVERIFY2(ToolsBufferFit::writeSeries(refit, series, &error), qPrintable(error));
        QFile a(refit), b(shipped.filePath("buffer_series.csv"));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QList<QByteArray> got = a.readAll().split('\n'), want = b.readAll().split('\n');
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got.at(i), want.at(i));
    }

    // Jones and Dole 1929: eta/eta_w = 1 + A C^0.5 + B C in dilute solution, with A >= 0 from the ions'
    // atmospheres and so 0 for a solute that forms no ions. No dilute solution is then less viscous than water,
    // except where B is negative (KCl, NH4Cl, CsCl), whose viscosity falls below water's within a few mM.
    void diluteViscosityFollowsJonesAndDole()
    {
        const QStringList noIons
            = { "Sucrose", "D-Glucose", "Glycerol", "Urea", "Ethanol", "Methanol", "Ethylene glycol", "D-Mannitol" };
        const QStringList negativeB = { "Potassium chloride", "Ammonium chloride", "Cesium chloride" };
        QList<QStringList> rows;
        QString error;
        QVERIFY2(
            SqlReferenceData::readCsv(
                QDir(SqlReferenceData::shippedFolder(testSourceDir())).filePath("buffer_series.csv"), &rows, &error),
            qPrintable(error));
        int checked = 0;
        for (const QStringList &r : rows.mid(1)) {
            if (r.value(1) != QLatin1String("viscosity"))
                continue;
            const double a = r.value(2).toDouble(), b = r.value(3).toDouble(), c = r.value(4).toDouble(),
                         d = r.value(5).toDouble(), e = r.value(6).toDouble();
            const QString name = r.value(0);
            QVERIFY2(b >= 0 && (!noIons.contains(name) || b == 0), qPrintable(name + " b " + r.value(3)));
            QCOMPARE(c < 0, negativeB.contains(name));
            for (const double molar : { 0.001, 0.002, 0.005, 0.01, 0.02, 0.05 }) {
                const double relative = a + 1e-3 * b * std::sqrt(molar) + 1e-2 * c * molar + 1e-3 * d * molar * molar
                    + 1e-3 * e * molar * molar * molar;
                QVERIFY2(negativeB.contains(name) ? molar < 0.005 || relative < 1 : relative > 1,
                    qPrintable(QString("%1 at %2 M: %3").arg(name).arg(molar).arg(relative, 0, 'g', 8)));
            }
            ++checked;
        }
        QCOMPARE(checked, 36);
    }
};

TEST_MAIN(TstToolsBufferFit)
#include "tst_tools_bufferfit.moc"
