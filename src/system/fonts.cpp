#include "system/fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QStringList>
#include <QtEndian>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <vector>

#ifdef ZAQ_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace platform {

namespace {

constexpr char32_t CodeSpace = 0x110000;

// One bit a code point; empty where nothing is known (all drawable).
using Coverage = std::vector<quint32>;

bool covers(const Coverage &bits, char32_t c)
{
    return bits.empty() || (c < CodeSpace && (bits[c >> 5] >> (c & 31)) & 1);
}

#ifdef ZAQ_HAVE_FONTCONFIG

constexpr quint32 tag(const char (&name)[5])
{
    return quint32(uchar(name[0])) << 24 | quint32(uchar(name[1])) << 16 | quint32(uchar(name[2])) << 8
           | uchar(name[3]);
}

// The scripts Qt shapes only with a font whose substitution table (GSUB)
// names the script, and the names a table may use for each.
struct ShapedScript
{
    QChar::Script script;
    quint32 tags[3];
};

const ShapedScript Shaped[] = {
    {QChar::Script_Syriac, {tag("syrc")}},
    {QChar::Script_Thaana, {tag("thaa")}},
    {QChar::Script_Devanagari, {tag("deva"), tag("dev2"), tag("dev3")}},
    {QChar::Script_Bengali, {tag("beng"), tag("bng2"), tag("bng3")}},
    {QChar::Script_Gurmukhi, {tag("guru"), tag("gur2"), tag("gur3")}},
    {QChar::Script_Gujarati, {tag("gujr"), tag("gjr2"), tag("gjr3")}},
    {QChar::Script_Oriya, {tag("orya"), tag("ory2"), tag("ory3")}},
    {QChar::Script_Tamil, {tag("taml"), tag("tml2"), tag("tml3")}},
    {QChar::Script_Telugu, {tag("telu"), tag("tel2"), tag("tel3")}},
    {QChar::Script_Kannada, {tag("knda"), tag("knd2"), tag("knd3")}},
    {QChar::Script_Malayalam, {tag("mlym"), tag("mlm2"), tag("mlm3")}},
    {QChar::Script_Sinhala, {tag("sinh")}},
    {QChar::Script_Khmer, {tag("khmr")}},
    {QChar::Script_Nko, {tag("nko ")}},
};

int shapedIndex(QChar::Script script)
{
    for (int i = 0; i < int(std::size(Shaped)); ++i) {
        if (Shaped[i].script == script)
            return i;
    }
    return -1;
}

// Which of the shaped scripts a font file's face takes, one bit each: the
// script names of its GSUB table, or all where it has the layout tables
// that stand in for GSUB (mort, morx).
quint32 shapedScriptsOf(const QString &file, int index)
{
    QFile font(file);
    if (!font.open(QIODevice::ReadOnly))
        return 0;
    auto read = [&font](qint64 at, qint64 size) {
        return font.seek(at) ? font.read(size) : QByteArray();
    };
    auto u16 = [](const QByteArray &b, int at) { return qFromBigEndian<quint16>(b.constData() + at); };
    auto u32 = [](const QByteArray &b, int at) { return qFromBigEndian<quint32>(b.constData() + at); };
    qint64 directory = 0;
    const QByteArray head = read(0, 12);
    if (head.size() < 12)
        return 0;
    if (u32(head, 0) == tag("ttcf")) { // a collection: find the face's own directory
        const QByteArray offset = read(12 + 4 * qint64(index & 0xFFFF), 4);
        if (offset.size() < 4)
            return 0;
        directory = u32(offset, 0);
    }
    const QByteArray count = read(directory + 4, 2);
    if (count.size() < 2)
        return 0;
    const QByteArray records = read(directory + 12, 16 * qint64(u16(count, 0)));
    qint64 gsub = -1;
    for (int at = 0; at + 16 <= records.size(); at += 16) {
        const quint32 name = u32(records, at);
        if (name == tag("mort") || name == tag("morx"))
            return ~0u;
        if (name == tag("GSUB"))
            gsub = u32(records, at + 8);
    }
    if (gsub < 0)
        return 0;
    const QByteArray header = read(gsub, 10);
    if (header.size() < 10)
        return 0;
    const qint64 list = gsub + u16(header, 4);
    const QByteArray scripts = read(list, 2);
    if (scripts.size() < 2)
        return 0;
    const QByteArray names = read(list + 2, 6 * qint64(u16(scripts, 0)));
    quint32 taken = 0;
    for (int at = 0; at + 6 <= names.size(); at += 6) {
        for (int i = 0; i < int(std::size(Shaped)); ++i) {
            for (const quint32 name : Shaped[i].tags) {
                if (name && name == u32(names, at))
                    taken |= 1u << i;
            }
        }
    }
    return taken;
}

Coverage findCoverage()
{
    // The shaped scripts' characters: a font covers them only for the
    // scripts it takes. All of them lie in the first two planes.
    Coverage shapedChars(CodeSpace / 32);
    for (char32_t c = 0; c < 0x20000; ++c) {
        if (shapedIndex(QChar::script(c)) >= 0)
            shapedChars[c >> 5] |= 1u << (c & 31);
    }
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *properties = FcObjectSetBuild(FC_CHARSET, FC_FILE, FC_INDEX, nullptr);
    FcFontSet *fonts = FcFontList(nullptr, pattern, properties);
    FcObjectSetDestroy(properties);
    FcPatternDestroy(pattern);
    if (!fonts)
        return {};
    Coverage bits(CodeSpace / 32);
    struct Word
    {
        char32_t at;
        quint32 bits;
    };
    std::vector<Word> shaped;
    for (int f = 0; f < fonts->nfont; ++f) {
        FcCharSet *charset = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[f], FC_CHARSET, 0, &charset) != FcResultMatch)
            continue;
        shaped.clear();
        FcChar32 page[FC_CHARSET_MAP_SIZE];
        FcChar32 next = 0;
        for (FcChar32 base = FcCharSetFirstPage(charset, page, &next); base != FC_CHARSET_DONE;
             base = FcCharSetNextPage(charset, page, &next)) {
            for (int w = 0; w < FC_CHARSET_MAP_SIZE; ++w) {
                const char32_t at = base + 32 * w;
                if (at >= CodeSpace)
                    break;
                const quint32 mask = shapedChars[at >> 5];
                bits[at >> 5] |= page[w] & ~mask;
                if (page[w] & mask)
                    shaped.push_back({at, page[w] & mask});
            }
        }
        if (shaped.empty())
            continue;
        FcChar8 *file = nullptr;
        int index = 0;
        FcPatternGetString(fonts->fonts[f], FC_FILE, 0, &file);
        FcPatternGetInteger(fonts->fonts[f], FC_INDEX, 0, &index);
        const quint32 taken = file ? shapedScriptsOf(QFile::decodeName(reinterpret_cast<const char *>(file)), index) : 0;
        if (!taken)
            continue;
        for (const Word &word : shaped) {
            for (int b = 0; b < 32; ++b) {
                if ((word.bits >> b & 1) && (taken >> shapedIndex(QChar::script(word.at + b)) & 1))
                    bits[word.at >> 5] |= 1u << b;
            }
        }
    }
    FcFontSetDestroy(fonts);
    return bits;
}

#else

Coverage findCoverage()
{
    return {};
}

#endif

struct CoverageSearch
{
    std::once_flag started;
    std::future<Coverage> pending;
    std::once_flag taken;
    Coverage bits;
    std::atomic<const Coverage *> ready{nullptr};
};

CoverageSearch &coverageSearch()
{
    // The installed fonts are the process's, whichever Program asks.
    static CoverageSearch search;
    return search;
}

const Coverage &waitForCoverage()
{
    CoverageSearch &search = coverageSearch();
    startFontCoverage();
    std::call_once(search.taken, [&search] {
        search.bits = search.pending.get();
        search.ready.store(&search.bits, std::memory_order_release);
    });
    return search.bits;
}

} // namespace

void startFontCoverage()
{
    CoverageSearch &search = coverageSearch();
    std::call_once(search.started, [&search] { search.pending = std::async(std::launch::async, findCoverage); });
}

bool canDraw(char32_t c)
{
    const Coverage *bits = coverageSearch().ready.load(std::memory_order_acquire);
    return covers(bits ? *bits : waitForCoverage(), c);
}

bool fontCoverageReady()
{
    CoverageSearch &search = coverageSearch();
    if (search.ready.load(std::memory_order_acquire))
        return true;
    startFontCoverage();
    return search.pending.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void installFontSubstitutes()
{
    // Substitutes only apply where the named family is not installed.
    QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Lucida Sans Unicode"), {QStringLiteral("DejaVu Sans")});
    // Condensed, so the window font keeps its narrow width and 13-pixel line at 8 points.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
}

QString installedFamily(const QString &family)
{
    // Listed once: building the list walks every installed family.
    static const QStringList installed = QFontDatabase::families();
    if (installed.contains(family, Qt::CaseInsensitive))
        return family;
    for (const QString &substitute : QFont::substitutes(family)) {
        if (installed.contains(substitute, Qt::CaseInsensitive))
            return substitute;
    }
    return family;
}

QFont makeFont(const QString &family, qreal pointSize, bool bold)
{
    QFont font(installedFamily(family));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace platform
