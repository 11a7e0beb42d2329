// What the transcript view shows for a piece of text: break marks, blocks,
// the cuts of long runs and visible symbols, checked against strings written
// out by hand. Marks '#' (new block) and '/' (line within a block) make the
// expectations readable; the box itself uses Qt's separators.
#include "platform/ui/transcriptview.h"

#include <QtTest>

namespace tv = platform::transcriptview;

namespace {

const tv::Marks Plain{u'/', u'#', false};
const tv::Marks Cutting{u'/', u'#', true};

} // namespace

class TstTranscriptView : public QObject
{
    Q_OBJECT

private slots:
    void marksBreaksAndSymbols_data();
    void marksBreaksAndSymbols();
    void cutsLongRunsBetweenCharacters_data();
    void cutsLongRunsBetweenCharacters();
};

void TstTranscriptView::marksBreaksAndSymbols_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("afterCr");
    QTest::addColumn<int>("blockChars");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("blockCharsAfter");

    QTest::newRow("first break starts a block") << "a\r\nb\nc" << false << 0 << "a#b/c" << 3;
    QTest::newRow("lone CR, LF CR, U+2028") << QString::fromUtf16(u"a\rb\n\rc\u2028d") << false << 0
                                            << "a#b//c/d" << 6;
    QTest::newRow("LF after a CR of the last piece") << "\nx" << true << 5 << "x" << 6;
    QTest::newRow("LF after other text") << "\nx" << false << 5 << "#x" << 1;
    QTest::newRow("no break: the block grows") << "xyz" << false << 7 << "xyz" << 10;
    QTest::newRow("controls, DEL, tab") << QString::fromUtf16(u"\x01\t\x1f\x7f", 4) << false << 0
                                        << QString::fromUtf16(u"\u2401\t\u241f\u2421") << 4;
    QTest::newRow("the view's own marks") << QString::fromUtf16(u"\u2029\uFDD0\uFDD1\uFDCF") << false << 0
                                          << QString::fromUtf16(u"\uFFFD\uFFFD\uFFFD\uFDCF") << 4;
    // A later break starts a block only once the block holds GroupChars.
    QTest::newRow("block just short of a group") << "\n" + QString(2047, u'a') + "\nb" << false << 0
                                                 << "#" + QString(2047, u'a') + "/b" << 2049;
    QTest::newRow("block of a whole group") << "\n" + QString(2048, u'a') + "\nb" << false << 0
                                            << "#" + QString(2048, u'a') + "#b" << 1;
    QTest::newRow("long runs stay whole unless asked") << QString(9000, u'x') << false << 0
                                                       << QString(9000, u'x') << 9000;
}

void TstTranscriptView::marksBreaksAndSymbols()
{
    QFETCH(QString, text);
    QFETCH(bool, afterCr);
    QFETCH(int, blockChars);
    QFETCH(QString, shown);
    QFETCH(int, blockCharsAfter);
    const tv::Piece piece = tv::render(text, afterCr, blockChars, Plain);
    QCOMPARE(piece.text, shown);
    QCOMPARE(piece.blockChars, blockCharsAfter);
    QVERIFY(piece.cuts.isEmpty());
}

void TstTranscriptView::cutsLongRunsBetweenCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blockChars");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QList<int>>("cuts"); // text position, view position, ...
    QTest::addColumn<int>("blockCharsAfter");

    QTest::newRow("a full block, then one more") << QString(8192, u'x') + "y" << 0
                                                 << QString(8192, u'x') + "#y" << QList<int>{8192, 8192} << 1;
    QTest::newRow("a block begun by the last piece") << "xxy" << 8190 << "xx#y" << QList<int>{2, 2} << 1;
    QTest::newRow("never between the halves of a pair")
        << QString::fromUtf16(u"a\U0001F600b") << 8190 << QString::fromUtf16(u"a\U0001F600#b")
        << QList<int>{3, 3} << 1;
    QTest::newRow("a break resets the run") << "\n" + QString(8191, u'x') + "\nyy" << 0
                                            << "#" + QString(8191, u'x') + "#yy" << QList<int>{} << 2;
    QTest::newRow("two cuts") << QString(3 * 8192, u'z') << 0
                              << QString(8192, u'z') + "#" + QString(8192, u'z') + "#" + QString(8192, u'z')
                              << QList<int>{8192, 8192, 16384, 16385} << 8192;
}

void TstTranscriptView::cutsLongRunsBetweenCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, blockChars);
    QFETCH(QString, shown);
    QFETCH(QList<int>, cuts);
    QFETCH(int, blockCharsAfter);
    const tv::Piece piece = tv::render(text, false, blockChars, Cutting);
    QCOMPARE(piece.text, shown);
    QCOMPARE(piece.blockChars, blockCharsAfter);
    QList<int> found;
    for (const tv::Cut &cut : piece.cuts)
        found << int(cut.text) << int(cut.view);
    QCOMPARE(found, cuts);
}

QTEST_GUILESS_MAIN(TstTranscriptView)
#include "tst_transcriptview.moc"
