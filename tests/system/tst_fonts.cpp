// What the installed fonts can show, as found by the search at start-up,
// against what Qt itself does with each character on the GUI thread: lays
// it out with the transcript's font and looks at the glyphs it got. Run with
// the machine's fonts, and by scripts/test.sh with Debian's whole Noto family.

#include "app/startup.h"
#include "system/fontfallbacks.h"
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

// The family Qt itself draws text[at] with, laid out in the font.
QString qtFamilyAt(const QString &text, int at, int units, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns(at, units);
    return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
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
    void fallbackFamilyAgreesWithQt_data();
    void fallbackFamilyAgreesWithQt();
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

void TstFonts::fallbackFamilyAgreesWithQt_data()
{
    // A character and the text before it: Qt orders the fallbacks by the
    // script of the run, which common characters and marks take from it.
    QTest::addColumn<QString>("before");
    QTest::addColumn<uint>("c");
    const struct
    {
        const char *name;
        const char16_t *before;
        char32_t c;
    } samples[] = {
        {"Latin, own face", u"caf", 0x00E9}, {"Greek", u"", 0x03B1}, {"Armenian", u"", 0x0561},
        {"Arabic", u"\u0628", 0x0647}, {"Arabic mark", u"\u0628", 0x064E}, {"Thai", u"", 0x0E01},
        {"Myanmar", u"", 0x1000}, {"Myanmar digit after Myanmar", u"\u1000", 0x1041}, {"Chakma digit", u"", 0x11136},
        {"Ethiopic", u"", 0x1200}, {"Han", u"", 0x4E00}, {"Han after Hiragana", u"\u3042", 0x4E00},
        {"common CJK mark after Hiragana", u"\u3042", 0x3002}, {"Hangul", u"", 0xAC00}, {"Bopomofo", u"", 0x3105},
        {"Yi", u"", 0xA000}, {"emoji after Latin", u"hi ", 0x1F600}, {"emoji alone", u"", 0x1F600},
        {"musical symbol", u"", 0x1D11E}, {"Gothic", u"", 0x10330}, {"math arrow", u"x ", 0x27F6},
        {"Tifinagh", u"", 0x2D30}, {"Vai", u"", 0xA500},
    };
    for (const auto &sample : samples)
        QTest::newRow(sample.name) << QString::fromUtf16(sample.before) << uint(sample.c);
}

void TstFonts::fallbackFamilyAgreesWithQt()
{
    QFETCH(QString, before);
    QFETCH(uint, c);
    const char32_t ch = c;
    if (!platform::canDraw(ch))
        QSKIP("no installed font shows it");
    const QFont font = platform::makeFont(QStringLiteral("MS Sans Serif"), 8);
    const QString text = before + QString::fromUcs4(&ch, 1);
    const int at = int(before.size()), units = ch > 0xFFFF ? 2 : 1;
    QString ours = qtFamilyAt(QStringLiteral("A"), 0, 1, font); // the font's own face
    for (const platform::FontFallbacks::Run &run : platform::fallbacksFor(font.family()).runs(text)) {
        if (run.start <= at && at < run.start + run.length) {
            QVERIFY(run.start + run.length >= at + units);
            // What Qt draws with when a layout names the family.
            QFont named = font;
            named.setFamilies({run.family});
            ours = qtFamilyAt(QString::fromUcs4(&ch, 1), 0, units, named);
        }
    }
    QCOMPARE(ours, qtFamilyAt(text, at, units, font));
}

QTEST_MAIN(TstFonts)
#include "tst_fonts.moc"
