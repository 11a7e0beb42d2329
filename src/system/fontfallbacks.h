#pragma once

#include <QChar>
#include <QList>
#include <QString>
#include <QStringView>

#include <memory>

namespace platform {

// Where a font's own face lacks a character, Qt draws it with the first
// family of its fallback order that has it. To find that family it asks
// fontconfig about one candidate after another, a full match over every
// installed font each time: with thousands of fonts installed, a tenth of a
// second on the GUI thread for the first character of each new script.
// FontFallbacks reads the same order from fontconfig once for each language
// Qt sorts by, and answers from the candidates' character sets, so a layout
// can name the family itself and Qt loads that one font.
//
// GUI thread only; one for each family, kept for the process (fallbacksFor).
class FontFallbacks {
  public:
    explicit FontFallbacks(const QString &family);
    ~FontFallbacks();
    FontFallbacks(const FontFallbacks &) = delete;
    FontFallbacks &operator=(const FontFallbacks &) = delete;

    // A stretch of text that Qt would draw with another family than the
    // font's own: positions in UTF-16 units.
    struct Run {
        int start;
        int length;
        QString family;
    };

    // The stretches of `text` to draw with another family, in order; none
    // where fontconfig is not available. Qt chooses by the script of each
    // run of text (common characters, such as digits and emoji, take the
    // script around them), and so does this.
    QList<Run> runs(QStringView text);

  private:
    struct Data;
    std::unique_ptr<Data> d;
};

// The process's FontFallbacks for a family.
FontFallbacks &fallbacksFor(const QString &family);

} // namespace platform
