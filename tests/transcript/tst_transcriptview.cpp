// What the transcript view shows for a piece of text: break marks, blocks,
// the cuts of long runs and visible symbols, checked against strings written
// out by hand. Marks '#' (new block) and '/' (line within a block) make the
// expectations readable; the box itself uses Qt's separators.
#include "transcript/transcriptview.h"

#include <QtTest>

namespace tv = platform::transcriptview;

namespace {

const tv::Marks Plain{u'/', u'#', false};
const tv::Marks Cutting{u'/', u'#', true};

// Fonts that show neither Thaana nor the musical symbols.
bool withoutThaanaOrMusic(char32_t c)
{
    return QChar::script(c) != QChar::Script_Thaana && (c < 0x1D100 || c > 0x1D1FF);
}
const tv::Marks FewFonts{u'/', u'#', true, &withoutThaanaOrMusic};

} // namespace

class TstTranscriptView : public QObject
{
    Q_OBJECT

private slots:
    void marksBreaksAndSymbols_data();
    void marksBreaksAndSymbols();
    void cutsLongRunsBetweenCharacters_data();
    void cutsLongRunsBetweenCharacters();
    void showsWhatNoFontHasAsASquare_data();
    void showsWhatNoFontHasAsASquare();
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
    // Direction: a line with right-to-left text or a control of direction is
    // a block of its own, so an override cannot reverse the lines after it.
    QTest::newRow("override in one line of a group")
        << QString::fromUtf16(u"\nAnn: a\nEve: \u202Eevil gnp.exe\nBob: c\nDan: d") << false << 0
        << QString::fromUtf16(u"#Ann: a#Eve: \u202Eevil gnp.exe#Bob: c/Dan: d") << 13;
    QTest::newRow("Hebrew line, isolate") << QString::fromUtf16(u"\nx\n\u05D0\ny\n\u2067z") << false << 0
                                          << QString::fromUtf16(u"#x#\u05D0#y#\u2067z") << 2;
    // Combining marks: the first MarkRunCap stay, the rest are counted.
    const QString acute(1, QChar(0x0301));
    const QString hidden(1, QChar(0x2060));
    QTest::newRow("20 marks on one letter") << "e" + acute.repeated(20) + "x" << false << 0
                                            << "e" + acute.repeated(4) + "[+16]" + hidden.repeated(11) + "x" << 22;
    QTest::newRow("one too many: shown, the count would not fit") << "e" + acute.repeated(5) << false << 0
                                                                  << "e" + acute.repeated(5) << 6;
    // A run of plain characters ends at the first character that is not:
    // a mark, which the cap counts, and DEL, which shows as a symbol.
    const QString capped = acute.repeated(4) + "[+16]" + hidden.repeated(11);
    QTest::newRow("plain runs around marks and DEL") << "cafe" + acute.repeated(20) + "s" + acute.repeated(20) + "\x7fok"
                                                     << false << 0
                                                     << "cafe" + capped + "s" + capped + QString::fromUtf16(u"\u2421ok")
                                                     << 48;
    const QString musical = QString::fromUtf16(u"\U0001D167");
    QTest::newRow("marks beyond the first plane") << "a" + musical.repeated(10) + "\nb" << false << 0
                                                  << "a" + musical.repeated(4) + "[+6]" + hidden.repeated(8) + "#b" << 1;
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
    // The count of hidden marks is never cut; later hidden ones may be.
    QTest::newRow("cut among hidden marks") << "e" + QString(8199, QChar(0x0301)) << 0
                                            << "e" + QString(4, QChar(0x0301)) + "[+8195]"
                                                   + QString(8180, QChar(0x2060)) + "#" + QString(8, QChar(0x2060))
                                            << QList<int>{8192, 8192} << 8;
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

void TstTranscriptView::showsWhatNoFontHasAsASquare_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    const QString square = QString::fromUtf16(u"\u25A1");
    const QString hidden(1, QChar(0x2060));
    const QString acute(1, QChar(0x0301));
    QTest::newRow("Thaana among Latin and Greek") << QString::fromUtf16(u"a\u0780\u0781b\u03B1")
                                                   << "a" + square + square + QString::fromUtf16(u"b\u03B1");
    QTest::newRow("a pair: the square and a joiner") << QString::fromUtf16(u"x\U0001D11Ey")
                                                     << "x" + square + hidden + "y";
    QTest::newRow("a pair the fonts have stays") << QString::fromUtf16(u"\U0001F600") << QString::fromUtf16(u"\U0001F600");
    // The square is a character of its own: a mark the fonts lack ends a
    // run of marks, and the marks after it start a new one.
    QTest::newRow("an undrawable mark ends a run") << "e" + acute.repeated(3) + QChar(0x07A6) + acute.repeated(4)
                                                   << "e" + acute.repeated(3) + square + acute.repeated(4);
    QTest::newRow("marks after a square are counted") << QString(QChar(0x0780)) + acute.repeated(20)
                                                      << square + acute.repeated(4) + "[+16]" + hidden.repeated(11);
    QTest::newRow("Thaana still isolates its line") << QString::fromUtf16(u"\nx\n\u0780\ny")
                                                    << "#x#" + square + "#y";
}

void TstTranscriptView::showsWhatNoFontHasAsASquare()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    const tv::Piece piece = tv::render(text, false, 0, FewFonts);
    QCOMPARE(piece.text, shown);
    // One view character for each of the text's, breaks aside: positions map as before.
    QCOMPARE(piece.text.size(), text.size());
}

QTEST_GUILESS_MAIN(TstTranscriptView)
#include "tst_transcriptview.moc"
