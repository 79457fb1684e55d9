// The buffer series fit: run again from the handbook rows, it gives the shipped
// series file, and every series covers at least 1 M or all of its rows.

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
};

TEST_MAIN(TstToolsBufferFit)
#include "tst_tools_bufferfit.moc"
