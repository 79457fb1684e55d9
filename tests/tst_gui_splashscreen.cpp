#include "gui/gui_splashscreen.h"

#include <QPixmap>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TstGuiSplashScreen : public QObject
{
    Q_OBJECT

private slots:
    void compiledInImagesLoad_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("splash logo") << ":files/images/ravo.jpg";
        QTest::newRow("tab logo") << ":/files/images/ravo-alpha.png";
        QTest::newRow("stop sign") << ":/files/images/stopsign.png";
        QTest::newRow("k formula") << ":/files/images/k.png";
    }
    void compiledInImagesLoad()
    {
        QFETCH(QString, path);
        QVERIFY(!QPixmap(path).isNull());
    }

    void timerIsSingleShotOfThreeSecondsAndRunsOnceShown()
    {
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        QTimer *timer = splash.findChild<QTimer *>();
        QVERIFY(timer);
        QVERIFY(timer->isSingleShot());
        QVERIFY(!timer->isActive());

        splash.show();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 3000);
        QVERIFY(splash.isVisible());
    }

    void signalsTimeOutOnceWhenTheTimerEnds()
    {
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        QSignalSpy spy(&splash, &GuiSplashScreen::sigTimeOut);
        splash.show();
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000);
        // Single-shot: a further wait brings no second signal.
        QTest::qWait(200);
        QCOMPARE(spy.count(), 1);
    }

    void aLongStartUpGetsTheSignalAsSoonAsEventsRun()
    {
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        QSignalSpy spy(&splash, &GuiSplashScreen::sigTimeOut);
        splash.show();
        // A start-up that blocks past the display time: nothing can arrive meanwhile.
        QTest::qSleep(3200);
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 20000);
    }

    void aNewMessageReplacesTheLastOne()
    {
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        splash.show();
        splash.showSplashMessage(QStringLiteral("Loading Vornakel..."));
        QCOMPARE(splash.message(), QStringLiteral("Loading Vornakel..."));
        splash.showSplashMessage(QStringLiteral("Updated Database schema to version '20120320'"));
        QCOMPARE(splash.message(), QStringLiteral("Updated Database schema to version '20120320'"));
    }
};

QTEST_MAIN(TstGuiSplashScreen)
#include "tst_gui_splashscreen.moc"
