// libFuzzer harness for the receive path: bytes from a peer, cut into
// arrivals at points the fuzzer chooses, go through the UTF-8 stream decoder
// and the line-end reader into the transcript the way the chat window takes
// them. Checks:
//  - the arrivals joined equal the bytes decoded at once, each CR NUL read as
//    CR LF (nothing lost, nothing doubled, a split character shown whole);
//  - the transcript's exact text is the greeting and CR LF before each
//    arrival, or the newest part of that when the transcript is bounded;
//  - the view shows exactly what TranscriptBox::viewText makes of that text.
// At exit it prints how long the slowest input held the thread (the GUI
// thread of the program); scripts/fuzz.sh holds the fuzzer to its time limit.
//
// Input layout: byte 0 = number of cuts (low 4 bits) and whether to bound the
// transcript (bit 7); byte 1 = the bound beyond the greeting; then one byte per cut giving
// the length of that arrival; the rest is what the peer sent.

#include "connection/lineends.h"
#include "connection/utf8stream.h"
#include "transcript/transcriptbox.h"

#include "system/fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using platform::LineEnds;
using platform::TranscriptBox;
using platform::Utf8Stream;

namespace {

const QString Greeting = QStringLiteral("Welcome To Chat!\r\n");
const QString CrLf = QStringLiteral("\r\n");

TranscriptBox *box = nullptr;
qint64 slowestNs = 0;

// A decoder written apart from the one under test: every byte order mark is text.
QString decodeAtOnce(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

[[noreturn]] void fail(const char *what, const QString &expected, const QString &actual)
{
    std::fprintf(stderr, "receive path: %s\nexpected %lld chars: %s\nactual   %lld chars: %s\n", what,
                 static_cast<long long>(expected.size()), qPrintable(expected.left(200).toHtmlEscaped()),
                 static_cast<long long>(actual.size()), qPrintable(actual.left(200).toHtmlEscaped()));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_receive";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    platform::startFontCoverage();
    platform::installFontSubstitutes();
    // The program searches the fonts from start-up on, while its setup
    // window is filled in, so no line arrives before the search has ended;
    // the harness waits for it too, or its first input would count the
    // search as well (the inputs go in through appendText, which does not
    // wait for it a frame at a time as arrivals do).
    platform::canDraw(U'a'); // returns once the search has ended
    box = new TranscriptBox;
    std::atexit([] { std::fprintf(stderr, "slowest input: %.1f ms\n", slowestNs / 1e6); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    QElapsedTimer clock;
    clock.start();
    const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const int cuts = input[0] & 0x0F;
    const bool bounded = (input[0] & 0x80) != 0;
    const qsizetype bound = Greeting.size() + 2 + static_cast<unsigned char>(input[1]);
    qsizetype at = std::min<qsizetype>(2 + cuts, input.size());
    const QByteArrayView lengths = input.sliced(2, at - 2);
    const QByteArrayView sent = input.sliced(at);

    box->setMaxChars(0);
    box->setText(Greeting);
    box->setMaxChars(bounded ? bound : 0);
    Utf8Stream stream;
    LineEnds lineEnds;
    QString joined, whole = Greeting;
    auto arrive = [&](const QString &decoded) {
        const QString text = lineEnds.read(decoded);
        if (text.isEmpty())
            return;
        joined += text;
        whole += CrLf + text;
        box->appendText(CrLf + text);
    };
    at = 0;
    for (const char length : lengths) {
        const qsizetype n = std::min<qsizetype>(static_cast<unsigned char>(length), sent.size() - at);
        arrive(stream.decode(sent.sliced(at, n)));
        at += n;
    }
    arrive(stream.decode(sent.sliced(at)));
    arrive(stream.finish());

    const QString once = decodeAtOnce(sent).replace(QString::fromUtf16(u"\r\0", 2), QStringLiteral("\r\n"));
    if (joined != once)
        fail("arrivals differ from decoding at once", once, joined);
    const QString &kept = box->Text();
    if (bounded ? !whole.endsWith(kept) || kept.size() > bound : kept != whole)
        fail("transcript text", whole, kept);
    const QString shown = box->shownText();
    const QString view = TranscriptBox::viewText(kept, false);
    if (shown != view)
        fail("view differs from the text", view, shown);
    slowestNs = std::max(slowestNs, clock.nsecsElapsed());
    return 0;
}
