#include "app/app_text.h"

#include "test_log.h"

#include <QtTest>

// A text cut at a length keeps whole characters: a character beyond the
// first 65,536 is a surrogate pair, which stays whole or goes whole.
class TstAppText : public QObject
{
    Q_OBJECT

    static QString grinning() { return QString::fromUcs4(U"\U0001F600"); }

private slots:
    void cutsBetweenWholeCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("kept");
        const QString a4095(4095, 'a');
        QTest::newRow("shorter") << "abc" << 4 << "abc";
        QTest::newRow("as long") << "abcd" << 4 << "abcd";
        QTest::newRow("longer") << "abcdef" << 4 << "abcd";
        QTest::newRow("a pair across the cut") << a4095 + grinning() << 4096 << a4095;
        QTest::newRow("a pair across the cut, text after it") << a4095 + grinning() + "b" << 4096 << a4095;
        QTest::newRow("a pair just within")
            << QString(4094, 'a') + grinning() + "b" << 4096 << QString(4094, 'a') + grinning();
        QTest::newRow("a pair right after") << a4095 + "a" + grinning() << 4096 << a4095 + "a";
        QTest::newRow("only a pair, cut within it") << grinning() << 1 << "";
        QTest::newRow("nothing kept") << "abc" << 0 << "";
    }
    void cutsBetweenWholeCharacters()
    {
        QFETCH(QString, text);
        QFETCH(int, size);
        QFETCH(QString, kept);
        const QString cut = AppText::leftWhole(text, size);
        QCOMPARE(cut, kept);
        // What is kept reads back from UTF-8 as it was: no half pair became U+FFFD or '?'.
        QCOMPARE(QString::fromUtf8(cut.toUtf8()), cut);
    }

    // Bytes from outside are quoted as the text they are, and what is no
    // printable text as its bytes.
    void quotesBytesReadably_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("ASCII") << QByteArray("+160 x") << "+160 x";
        QTest::newRow("Arabic-Indic digits")
            << QByteArray("\xd9\xa1\xd9\xa6\xd9\xa0") << QString::fromUtf8("\xd9\xa1\xd9\xa6\xd9\xa0");
        QTest::newRow("a pair") << QByteArray("\xf0\x9f\x98\x80") << grinning();
        QTest::newRow("control characters") << QByteArray("1\x01\t\x7f") << "1\\x01\\x09\\x7F";
        QTest::newRow("a control character of two bytes") << QByteArray("\xc2\x85") << "\\xC2\\x85";
        QTest::newRow("a byte that starts nothing") << QByteArray("\xff\x80"
                                                                  "a")
                                                    << "\\xFF\\x80a";
        QTest::newRow("a longer form than needed") << QByteArray("\xc0\xaf") << "\\xC0\\xAF";
        QTest::newRow("half a pair") << QByteArray("\xed\xa0\x80") << "\\xED\\xA0\\x80";
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << "\\xF4\\x90\\x80\\x80";
        QTest::newRow("cut off at the end") << QByteArray("a\xe2\x82") << "a\\xE2\\x82";
        QTest::newRow("longer than shown") << QByteArray(81, 'y') << QString(80, 'y') + "...";
        QTest::newRow("as long as shown") << QByteArray(80, 'y') << QString(80, 'y');
    }
    void quotesBytesReadably()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, quoted);
        QCOMPARE(AppText::quoted(bytes), quoted);
    }
};

TEST_MAIN(TstAppText)
#include "tst_app_text.moc"
