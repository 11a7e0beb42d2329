// The receive decoder: UTF-8 that arrives in pieces must read exactly as if
// it had arrived at once, whatever the split and whatever the bytes; and a
// terminal's CR NUL line end reads as CR LF however it is split.
#include "connection/lineends.h"
#include "connection/utf8stream.h"

#include <QRandomGenerator>
#include <QtTest>

using platform::LineEnds;
using platform::Utf8Stream;

namespace {

// 1-, 2-, 3- and 4-byte characters side by side, with a CR LF among them.
const QByteArray Mixed = QStringLiteral("a\u00e9\u20ac\U0001F600\r\n\u05e9\U00010348z").toUtf8();

// All the bytes decoded at once. QString::fromUtf8 would drop a leading
// U+FEFF, which a peer may well send as text; an arrival keeps it.
QString oneShot(const QByteArray &bytes)
{
    return QString::fromUtf8("a" + bytes).sliced(1);
}

// Decodes the bytes in pieces cut at the given offsets, then ends the stream.
QString decodeInPieces(const QByteArray &bytes, QList<qsizetype> cuts)
{
    Utf8Stream stream;
    QString text;
    qsizetype from = 0;
    cuts.append(bytes.size());
    for (qsizetype cut : cuts) {
        text += stream.decode(QByteArrayView(bytes).sliced(from, cut - from));
        from = cut;
    }
    return text + stream.finish();
}

} // namespace

class TstUtf8Stream : public QObject
{
    Q_OBJECT

private slots:
    void everySplitOfMixedText();
    void everyPairOfSplitsOfMixedText();
    void oneByteAtATime_data();
    void oneByteAtATime();
    void heldBytes_data();
    void heldBytes();
    void randomBytesInRandomPieces();
    void resetForgetsHeldBytes();
    void crNulIsALineEndWhereverSplit_data();
    void crNulIsALineEndWhereverSplit();
};

void TstUtf8Stream::everySplitOfMixedText()
{
    const QString whole = oneShot(Mixed);
    for (qsizetype split = 0; split <= Mixed.size(); ++split) {
        Utf8Stream stream;
        const QString first = stream.decode(QByteArrayView(Mixed).first(split));
        // No half character and no replacement character ever shows.
        QVERIFY2(!first.contains(QChar::ReplacementCharacter), qPrintable(QString::number(split)));
        QVERIFY(whole.startsWith(first));
        const QString second = stream.decode(QByteArrayView(Mixed).sliced(split));
        QCOMPARE(first + second, whole);
        QVERIFY(!stream.hasPending());
        QCOMPARE(stream.finish(), QString());
    }
}

void TstUtf8Stream::everyPairOfSplitsOfMixedText()
{
    const QString whole = oneShot(Mixed);
    for (qsizetype a = 0; a <= Mixed.size(); ++a) {
        for (qsizetype b = a; b <= Mixed.size(); ++b)
            QCOMPARE(decodeInPieces(Mixed, {a, b}), whole);
    }
}

void TstUtf8Stream::oneByteAtATime_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("mixed") << Mixed;
    QTest::newRow("stray continuation bytes") << QByteArray("a\x80\x80\xBF" "b");
    QTest::newRow("overlong two-byte") << QByteArray("\xC0\xAF" "x\xC1\xBF");
    QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF" "x");
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xA0\x80" "x");
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80" "x\xF5\x80");
    QTest::newRow("truncated before ASCII") << QByteArray("\xE2\x82" "A\xF0\x9F\x98" "B");
    QTest::newRow("truncated before CR LF") << QByteArray("\xE2\x82\r\nAnn: hi");
    QTest::newRow("truncated before a lead") << QByteArray("\xF0\x9F\xE2\x82\xAC");
    QTest::newRow("invalid bytes FE FF") << QByteArray("\xFE\xFF" "ok");
    QTest::newRow("NUL and controls") << QByteArray("a\0b\x01\x1B[2J", 9);
    QTest::newRow("incomplete at the end") << QByteArray("ok\xF0\x9F\x98");
    QTest::newRow("U+FEFF first and inside") << QByteArray("\xEF\xBB\xBFhi\xEF\xBB\xBF!");
}

void TstUtf8Stream::oneByteAtATime()
{
    QFETCH(QByteArray, bytes);
    QList<qsizetype> cuts;
    for (qsizetype i = 1; i < bytes.size(); ++i)
        cuts.append(i);
    // Invalid bytes read as U+FFFD exactly as a one-shot decode reads them.
    QCOMPARE(decodeInPieces(bytes, cuts), oneShot(bytes));
    for (qsizetype split = 0; split <= bytes.size(); ++split)
        QCOMPARE(decodeInPieces(bytes, {split}), oneShot(bytes));
}

void TstUtf8Stream::heldBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("held");
    QTest::newRow("complete") << QByteArray("a\xE2\x82\xAC") << qsizetype(0);
    QTest::newRow("2-byte lead") << QByteArray("a\xC3") << qsizetype(1);
    QTest::newRow("3-byte lead") << QByteArray("a\xE2") << qsizetype(1);
    QTest::newRow("3-byte lead and one") << QByteArray("a\xE2\x82") << qsizetype(2);
    QTest::newRow("4-byte lead and two") << QByteArray("\xF0\x9F\x98") << qsizetype(3);
    QTest::newRow("cannot start") << QByteArray("a\xF8") << qsizetype(0);
    QTest::newRow("second byte cannot follow") << QByteArray("a\xE0\x80") << qsizetype(0);
    QTest::newRow("stray continuation") << QByteArray("\x80") << qsizetype(0);
}

void TstUtf8Stream::heldBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, held);
    QCOMPARE(Utf8Stream::incompleteTail(bytes), held);
    Utf8Stream stream;
    stream.decode(bytes);
    QCOMPARE(stream.hasPending(), held > 0);
    // Whatever is held when the stream ends still shows, as U+FFFD.
    if (held > 0)
        QVERIFY(stream.finish().contains(QChar::ReplacementCharacter));
}

void TstUtf8Stream::randomBytesInRandomPieces()
{
    // Mostly text-like bytes with every kind of lead and continuation among them.
    QRandomGenerator random(20240611);
    const QByteArray alphabet("aZ \r\n\x80\xBF\xC2\xC3\xDF\xE0\xE2\xED\xEF\xF0\xF4\xF5\xFF\xA0\x9F\x90\x8F", 22);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        const int length = random.bounded(1, 40);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[random.bounded(alphabet.size())];
        QList<qsizetype> cuts;
        for (qsizetype i = 1; i < bytes.size(); ++i) {
            if (random.bounded(3) == 0)
                cuts.append(i);
        }
        QCOMPARE(decodeInPieces(bytes, cuts), oneShot(bytes));
    }
}

void TstUtf8Stream::resetForgetsHeldBytes()
{
    Utf8Stream stream;
    stream.decode("x\xE2\x82");
    stream.reset();
    QVERIFY(!stream.hasPending());
    // A new connection starts clean: nothing of the old one's half character.
    QCOMPARE(stream.decode("\xAC" "ok"), QString::fromUtf8("\xAC" "ok"));
}

void TstUtf8Stream::crNulIsALineEndWhereverSplit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read");
    const auto t = [](const char16_t *text, qsizetype size) { return QString::fromUtf16(text, size); };
    QTest::newRow("telnet's Enter") << t(u"hi\r\0there\r\0", 12) << t(u"hi\r\nthere\r\n", 12);
    QTest::newRow("a NUL of its own") << t(u"a\0b", 3) << t(u"a\0b", 3);
    QTest::newRow("NUL first") << t(u"\0a", 2) << t(u"\0a", 2);
    QTest::newRow("only the first NUL after CR") << t(u"\r\0\0", 3) << t(u"\r\n\0", 3);
    QTest::newRow("after LF a NUL stays") << t(u"\n\0\r\n\0", 5) << t(u"\n\0\r\n\0", 5);
    QTest::newRow("CR CR NUL") << t(u"\r\r\0", 3) << t(u"\r\r\n", 3);
    QTest::newRow("CR LF untouched") << t(u"\r\nx\r", 4) << t(u"\r\nx\r", 4);
}

void TstUtf8Stream::crNulIsALineEndWhereverSplit()
{
    QFETCH(QString, text);
    QFETCH(QString, read);
    for (qsizetype split = 0; split <= text.size(); ++split) {
        LineEnds ends;
        const QString first = ends.read(text.first(split));
        QCOMPARE(first + ends.read(text.sliced(split)), read);
        // Nothing is held back: what came is given out at once.
        QCOMPARE(first.size(), split);
    }
    LineEnds oneAtATime;
    QString joined;
    for (QChar c : text)
        joined += oneAtATime.read(QString(c));
    QCOMPARE(joined, read);
    // A new conversation does not continue the old one's CR.
    LineEnds ends;
    ends.read(QStringLiteral("a\r"));
    ends.reset();
    QCOMPARE(ends.read(QString(QChar(0))), QString(QChar(0)));
}

QTEST_APPLESS_MAIN(TstUtf8Stream)
#include "tst_utf8stream.moc"
