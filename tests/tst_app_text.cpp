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
};

TEST_MAIN(TstAppText)
#include "tst_app_text.moc"
