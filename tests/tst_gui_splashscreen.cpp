#include "gui/gui_splashscreen.h"

#include "test_environment.h"
#include "test_log.h"

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

    // The display time of three seconds starts when the splash is shown and
    // ends in one signal; each message replaces the last.
    void showingStartsOneTimeOutOfThreeSeconds()
    {
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        QSignalSpy spy(&splash, &GuiSplashScreen::sigTimeOut);
        QTimer *timer = splash.findChild<QTimer *>();
        QVERIFY(timer && timer->isSingleShot() && !timer->isActive());
        splash.show();
        QVERIFY(splash.isVisible());
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 3000);
        splash.showSplashMessage(QStringLiteral("Loading Vornakel..."));
        splash.showSplashMessage(QStringLiteral("Updated Database schema to version '20120320'"));
        QCOMPARE(splash.message(), QStringLiteral("Updated Database schema to version '20120320'"));
        TEST_TRY_COMPARE(spy.count(), 1);
        QVERIFY(!timer->isActive()); // and none after it
    }
};

TEST_MAIN(TstGuiSplashScreen)
#include "tst_gui_splashscreen.moc"
