// What the installed fonts can show, as found by the search at start-up,
// against what Qt itself does with each character on the GUI thread: lays
// it out with the transcript's font and looks at the glyphs it got. Run with
// the machine's fonts, and by scripts/test.sh with Debian's whole Noto family.

#include "app/startup.h"
#include "system/fonts.h"
#include "transcript/transcriptview.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QtTest>

namespace {

// Qt found a font with a glyph for the character; a refused or missing one
// ends in Qt's box engine (no font tables) or glyph 0.
bool qtDraws(char32_t c)
{
    QTextLayout layout(QString::fromUcs4(&c, 1), platform::makeFont(QStringLiteral("Lucida Sans Unicode"), 9.75));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty())
        return false;
    for (const QGlyphRun &run : runs) {
        if (!run.rawFont().isValid() || run.rawFont().fontTable("head").isEmpty())
            return false;
        for (const quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                return false;
        }
    }
    return true;
}

bool shapedByRules(char32_t c)
{
    const QChar::Script script = QChar::script(c);
    return (script >= QChar::Script_Syriac && script <= QChar::Script_Sinhala) || script == QChar::Script_Khmer
           || script == QChar::Script_Nko;
}

} // namespace

class TstFonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void coverageAgreesWithQt_data();
    void coverageAgreesWithQt();
    void theSquareIsDrawable();
};

void TstFonts::initTestCase()
{
    app::prepareApplication();
}

void TstFonts::coverageAgreesWithQt_data()
{
    QTest::addColumn<uint>("c");
    const struct
    {
        const char *name;
        char32_t c;
    } samples[] = {
        {"Greek", 0x03B1}, {"Cyrillic", 0x0416}, {"Hebrew", 0x05D0}, {"Arabic", 0x0628}, {"Syriac", 0x0710},
        {"Thaana", 0x0780}, {"NKo", 0x07CA}, {"Devanagari", 0x0915}, {"Tamil", 0x0B95}, {"Sinhala", 0x0D9A},
        {"Thai", 0x0E01}, {"Tibetan", 0x0F40}, {"Georgian", 0x10D0}, {"Ethiopic", 0x1200}, {"Cherokee", 0x13A0},
        {"Khmer", 0x1780}, {"Mongolian", 0x1820}, {"Han", 0x4E00}, {"Hangul", 0xAC00}, {"emoji", 0x1F600},
        {"unassigned", 0x0378}, {"private use", 0xE000}, {"musical symbol", 0x1D11E}, {"Gothic", 0x10330},
        {"replacement character", 0xFFFD},
    };
    for (const auto &sample : samples)
        QTest::newRow(sample.name) << uint(sample.c);
}

void TstFonts::coverageAgreesWithQt()
{
    QFETCH(uint, c);
    const bool found = platform::canDraw(c);
    // Qt tries every installed font, one by one, for a script it refuses
    // them all for: half a minute with thousands of fonts.
    if (!found && shapedByRules(c) && QFontDatabase::families().size() > 500)
        QSKIP("Qt would try each of the installed fonts");
    QCOMPARE(found, qtDraws(c));
}

void TstFonts::theSquareIsDrawable()
{
    // Else the square itself would send Qt through every font.
    QVERIFY(platform::canDraw(platform::transcriptview::Undrawable));
    QVERIFY(qtDraws(platform::transcriptview::Undrawable));
}

QTEST_MAIN(TstFonts)
#include "tst_fonts.moc"
