#include "app/app_number.h"

#include "test_log.h"

#include <QtTest>

#include <cmath>

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
        // Plain decimals take a shortcut past the locale: it must read them to the bit as the locale does.
        QTest::newRow("negative") << "-12.5" << true << -12.5;
        QTest::newRow("signed exponent") << "2.5e+07" << true << 2.5e7;
        QTest::newRow("capital exponent") << "1.5E-3" << true << 1.5e-3;
        QTest::newRow("tenth") << "0.1" << true << 0.1;
        QTest::newRow("negative zero") << "-0" << true << -0.0;
        QTest::newRow("long zero") << "0.000000000000000000000000000" << true << 0.0;
        QTest::newRow("past 2^53, to even") << "9007199254740993" << true << 9007199254740992.0;
        QTest::newRow("thirty digits") << "123456789012345678901234567890" << true << 1.2345678901234568e29;
        QTest::newRow("largest") << "1.7976931348623157e308" << true << 1.7976931348623157e308;
        QTest::newRow("smallest") << "4.9e-324" << true << 4.9406564584124654e-324;
        QTest::newRow("plus") << "+2" << true << 2.0;
        QTest::newRow("bare point") << ".5" << true << 0.5;
        QTest::newRow("overflow") << "1e400" << false << 0.0;
        QTest::newRow("underflow") << "1e-400" << false << 0.0;
        QTest::newRow("no exponent digits") << "1e+" << false << 0.0;
    }
    void readsOnlyFiniteNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double v = 0;
        QCOMPARE(AppNumber::fromText(text, &v), ok);
        if (ok)
            QVERIFY2(v == value && std::signbit(v) == std::signbit(value), qPrintable(QString::number(v, 'g', 17)));
    }
};

TEST_GUILESS_MAIN(TstAppNumber)
#include "tst_app_number.moc"
