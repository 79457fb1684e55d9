#include "app/app_number.h"

#include "test_log.h"

#include <QtTest>

class TstAppNumber : public QObject
{
    Q_OBJECT

private slots:
    void writesFifteenDigits_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("sum") << 0.1 + 0.2 << "0.3";
        QTest::newRow("water") << 0.998234 << "0.998234";
        QTest::newRow("small") << 1.23e-13 << "1.23e-13";
        QTest::newRow("integer") << 20.0 << "20";
    }
    void writesFifteenDigits()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(AppNumber::toText(value), text);
    }

    void readsOnlyFiniteNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << " 1.5 " << true << 1.5;
        QTest::newRow("exponent") << "4.2e-13" << true << 4.2e-13;
        QTest::newRow("group separator") << "1,000" << false << 0.0;
        QTest::newRow("decimal comma") << "1,5" << false << 0.0;
        QTest::newRow("infinite") << "inf" << false << 0.0;
        QTest::newRow("nan") << "nan" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("word") << "NULL" << false << 0.0;
    }
    void readsOnlyFiniteNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double v = 0;
        QCOMPARE(AppNumber::fromText(text, &v), ok);
        if (ok)
            QCOMPARE(v, value);
    }
};

TEST_GUILESS_MAIN(TstAppNumber)
#include "tst_app_number.moc"
