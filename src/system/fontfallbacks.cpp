#include "system/fontfallbacks.h"

#include <QHash>
#include <QSet>

#include <map>
#include <vector>

#ifdef ZAQ_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace platform {

namespace {

// The language Qt asks fontconfig to prefer when it orders the fallbacks for
// a run of a script: where more than one family has a character (the Han
// ideographs, Myanmar digits, Arabic marks), the language decides. Empty:
// the machine's own language. Scripts not named here are written by one
// family each, so any language gives the same family.
const char *languageOf(QChar::Script script) {
    switch (script) {
    case QChar::Script_Greek:
        return "el";
    case QChar::Script_Cyrillic:
        return "ru";
    case QChar::Script_Armenian:
        return "hy";
    case QChar::Script_Hebrew:
        return "he";
    case QChar::Script_Arabic:
        return "ar";
    case QChar::Script_Syriac:
        return "syr";
    case QChar::Script_Thaana:
        return "dv";
    case QChar::Script_Devanagari:
        return "hi";
    case QChar::Script_Bengali:
        return "bn";
    case QChar::Script_Gurmukhi:
        return "pa";
    case QChar::Script_Gujarati:
        return "gu";
    case QChar::Script_Oriya:
        return "or";
    case QChar::Script_Tamil:
        return "ta";
    case QChar::Script_Telugu:
        return "te";
    case QChar::Script_Kannada:
        return "kn";
    case QChar::Script_Malayalam:
        return "ml";
    case QChar::Script_Sinhala:
        return "si";
    case QChar::Script_Thai:
        return "th";
    case QChar::Script_Lao:
        return "lo";
    case QChar::Script_Tibetan:
        return "bo";
    case QChar::Script_Myanmar:
        return "my";
    case QChar::Script_Georgian:
        return "ka";
    case QChar::Script_Hangul:
        return "ko";
    case QChar::Script_Ethiopic:
        return "am";
    case QChar::Script_Cherokee:
        return "chr";
    case QChar::Script_CanadianAboriginal:
        return "cr";
    case QChar::Script_Khmer:
        return "km";
    case QChar::Script_Mongolian:
        return "mn";
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
        return "ja";
    case QChar::Script_Bopomofo:
        return "zh-TW";
    case QChar::Script_Yi:
        return "ii";
    case QChar::Script_Tagalog:
        return "fil";
    case QChar::Script_Coptic:
        return "cop";
    case QChar::Script_Glagolitic:
        return "cu";
    case QChar::Script_Tifinagh:
        return "shi";
    case QChar::Script_Balinese:
        return "ban";
    case QChar::Script_Nko:
        return "man";
    case QChar::Script_Sundanese:
        return "su";
    case QChar::Script_OlChiki:
        return "sat";
    case QChar::Script_Javanese:
        return "jv";
    case QChar::Script_MeeteiMayek:
        return "mni";
    case QChar::Script_Chakma:
        return "ccp";
    default:
        return "";
    }
}

bool isMark(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

} // namespace

#ifdef ZAQ_HAVE_FONTCONFIG

struct FontFallbacks::Data {
    QByteArray family;
    FcCharSet *own = nullptr; // the font's own face
    bool ownKnown = false;
    struct Candidate {
        int name; // in names
        FcCharSet *charset;
    };
    struct Order {
        FcFontSet *fonts = nullptr;
        std::vector<Candidate> candidates;
    };
    std::map<QByteArray, Order> orders; // by language
    QStringList names;
    std::vector<FcCharSet *> charsets; // a face of each name
    QHash<QString, int> nameIndex;
    int basic = -1; // whether the own face has every character up to U+024F but controls

    bool ownHasBasic() {
        if (basic < 0) {
            const FcCharSet *mine = ownCharset();
            basic = mine ? 1 : 0;
            for (char32_t c = 0x20; basic && c < 0x0250; ++c) {
                if ((c < 0x7F || c >= 0xA0) && c != 0xAD && !FcCharSetHasChar(mine, c))
                    basic = 0;
            }
        }
        return basic == 1;
    }
    QHash<quint64, int> chosen; // character and language -> names index, -1 for none

    ~Data() {
        if (own)
            FcCharSetDestroy(own);
        for (auto &[language, order] : orders) {
            if (order.fonts)
                FcFontSetDestroy(order.fonts);
        }
    }

    FcPattern *pattern(const char *language) const {
        FcPattern *pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.constData()));
        FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
        if (*language) {
            FcLangSet *languages = FcLangSetCreate();
            FcLangSetAdd(languages, reinterpret_cast<const FcChar8 *>(language));
            FcPatternAddLangSet(pattern, FC_LANG, languages);
            FcLangSetDestroy(languages);
        } else {
            // The machine's own language, as fontconfig's defaults give it.
            FcPattern *defaults = FcPatternCreate();
            FcDefaultSubstitute(defaults);
            FcChar8 *own = nullptr;
            if (FcPatternGetString(defaults, FC_LANG, 0, &own) == FcResultMatch)
                FcPatternAddString(pattern, FC_LANG, own);
            FcPatternDestroy(defaults);
        }
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        return pattern;
    }

    const FcCharSet *ownCharset() {
        if (!ownKnown) {
            ownKnown = true;
            FcPattern *wanted = FcPatternCreate();
            FcPatternAddString(wanted, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family.constData()));
            FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
            FcDefaultSubstitute(wanted);
            FcResult result = FcResultNoMatch;
            if (FcPattern *match = FcFontMatch(nullptr, wanted, &result)) {
                FcCharSet *charset = nullptr;
                if (FcPatternGetCharSet(match, FC_CHARSET, 0, &charset) == FcResultMatch)
                    own = FcCharSetCopy(charset);
                FcPatternDestroy(match);
            }
            FcPatternDestroy(wanted);
        }
        return own;
    }

    // The candidates in Qt's order: one face a family, the family asked for
    // left out (its own face comes first anyway).
    Order &order(const char *language) {
        auto [it, added] = orders.try_emplace(QByteArray(language));
        Order &order = it->second;
        if (!added)
            return order;
        FcPattern *wanted = pattern(language);
        FcResult result = FcResultNoMatch;
        order.fonts = FcFontSort(nullptr, wanted, FcFalse, nullptr, &result);
        FcPatternDestroy(wanted);
        if (!order.fonts)
            return order;
        QSet<QString> seen{QString::fromUtf8(family).toCaseFolded()};
        for (int i = 0; i < order.fonts->nfont; ++i) {
            FcChar8 *value = nullptr;
            FcCharSet *charset = nullptr;
            if (FcPatternGetString(order.fonts->fonts[i], FC_FAMILY, 0, &value) != FcResultMatch ||
                FcPatternGetCharSet(order.fonts->fonts[i], FC_CHARSET, 0, &charset) != FcResultMatch)
                continue;
            const QString name = QString::fromUtf8(reinterpret_cast<const char *>(value));
            const QString folded = name.toCaseFolded();
            if (seen.contains(folded))
                continue;
            seen.insert(folded);
            auto known = nameIndex.constFind(name);
            if (known == nameIndex.constEnd()) {
                known = nameIndex.insert(name, int(names.size()));
                names.append(name);
                charsets.push_back(charset);
            }
            order.candidates.push_back({*known, charset});
        }
        return order;
    }

    int choose(char32_t c, QChar::Script script) {
        const FcCharSet *mine = ownCharset();
        if (mine && FcCharSetHasChar(mine, c))
            return -1;
        // Qt orders Latin runs as common ones.
        const char *language = script == QChar::Script_Latin ? "" : languageOf(script);
        const quint64 key = quint64(c) << 32 | quint32(uintptr_t(language) & 0xFFFFFFFF);
        if (const auto it = chosen.constFind(key); it != chosen.constEnd())
            return *it;
        int found = -1;
        for (const Candidate &candidate : order(language).candidates) {
            if (FcCharSetHasChar(candidate.charset, c)) {
                found = candidate.name;
                break;
            }
        }
        chosen.insert(key, found);
        return found;
    }
};

FontFallbacks::FontFallbacks(const QString &family) : d(std::make_unique<Data>()) {
    d->family = family.toUtf8();
}

QList<FontFallbacks::Run> FontFallbacks::runs(QStringView text) {
    QList<Run> found;
    // Plain text asks nothing where the font's own face has all of it.
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() < 0x0250 && d->ownHasBasic())
        ++i;
    if (i == text.size())
        return found;
    // The script of each run, as Qt itemizes: common and inherited
    // characters take the script before them (the first ones, the script
    // after them), and a mark stays with its base.
    struct Char {
        int at;
        int units;
        char32_t c;
    };
    std::vector<Char> chars;
    std::vector<QChar::Script> scripts;
    QChar::Script current = QChar::Script_Common;
    size_t runStart = 0; // in chars: where the current script run starts
    for (qsizetype at = 0; at < text.size(); ++at) {
        char32_t c = text[at].unicode();
        int units = 1;
        if (QChar::isHighSurrogate(c) && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[at].unicode(), text[at + 1].unicode());
            units = 2;
        }
        chars.push_back({int(at), units, c});
        at += units - 1;
        const QChar::Script script = QChar::script(c);
        if (script == current || script <= QChar::Script_Common)
            continue;
        if (current <= QChar::Script_Common) {
            current = script; // the common ones before take it
            continue;
        }
        if (isMark(c))
            continue;
        scripts.insert(scripts.end(), chars.size() - 1 - runStart, current);
        runStart = chars.size() - 1;
        current = script;
    }
    scripts.insert(scripts.end(), chars.size() - runStart, current);

    int lastName = -1;
    for (size_t k = 0; k < chars.size(); ++k) {
        const Char &ch = chars[k];
        int name = ch.c < 0x0250 && d->ownHasBasic() ? -1 : d->choose(ch.c, scripts[k]);
        // A mark stays with a base drawn by another family that has it.
        if (name < 0 && lastName >= 0 && isMark(ch.c) && found.last().start + found.last().length == ch.at &&
            FcCharSetHasChar(d->charsets[lastName], ch.c))
            name = lastName;
        if (name >= 0) {
            if (name == lastName && found.last().start + found.last().length == ch.at)
                found.last().length += ch.units;
            else
                found.append({ch.at, ch.units, d->names[name]});
        }
        lastName = name;
    }
    return found;
}

#else

struct FontFallbacks::Data {};

FontFallbacks::FontFallbacks(const QString &) : d(std::make_unique<Data>()) {}

QList<FontFallbacks::Run> FontFallbacks::runs(QStringView) {
    return {};
}

#endif

FontFallbacks::~FontFallbacks() = default;

FontFallbacks &fallbacksFor(const QString &family) {
    static std::map<QString, std::unique_ptr<FontFallbacks>> all;
    auto &entry = all[family];
    if (!entry)
        entry = std::make_unique<FontFallbacks>(family);
    return *entry;
}

} // namespace platform
