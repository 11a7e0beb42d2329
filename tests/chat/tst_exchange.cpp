// The message exchange end to end: Send puts one chat line on the wire and in
// the sender's transcript; every arrival goes into the receiver's transcript
// after one added CR LF. Driven through the windows' controls, checked on the
// wire with a raw socket peer and by the exact transcript text.
#include "chat/formchat.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QtTest>

using platform::TranscriptBox;
using platform::Winsock;

namespace {

// A program listening through its setup window, with a raw socket connected to it.
struct RawPeer
{
    TestProgram program;
    QTcpSocket peer;
    FormChat *chat = nullptr;

    bool start(const QString &name)
    {
        const quint16 port = freeLowPort();
        connectFromSetup(*program, QStringLiteral("127.0.0.1"), port, name, false);
        chat = &program->form<FormChat>();
        peer.connectToHost(QHostAddress::LocalHost, port);
        if (!peer.waitForConnected(5000))
            return false;
        return QTest::qWaitFor([this] { return chat->Status->text() == QStringLiteral("Connected"); });
    }

    // Writes bytes and waits until they have made one arrival.
    bool deliver(const QByteArray &bytes)
    {
        QSignalSpy arrivals(chat->Winsock, &Winsock::dataArrival);
        peer.write(bytes);
        return arrivals.wait(5000);
    }

    QByteArray readExactly(qsizetype size)
    {
        QByteArray bytes;
        const bool complete = QTest::qWaitFor([&] {
            peer.waitForReadyRead(20);
            bytes += peer.readAll();
            return bytes.size() >= size;
        });
        return complete ? bytes : bytes + "(incomplete)";
    }
};

} // namespace

class TstExchange : public QObject
{
    Q_OBJECT

private slots:
    void sendPutsOneLineOnTheWire_data();
    void sendPutsOneLineOnTheWire();
    void arrivalsEachGetOneBreak_data();
    void arrivalsEachGetOneBreak();
    void multibyteSplitAtEveryPoint();
    void peerBytesShowAsText_data();
    void peerBytesShowAsText();
    void incompleteCharacterAtCloseShows();
    void sendTakesWhatIsBeingComposed();
};

void TstExchange::sendPutsOneLineOnTheWire_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("Ann: hi") << "Ann" << "hi" << QByteArray("\r\nAnn: hi");
    QTest::newRow("empty message") << "Ann" << "" << QByteArray("\r\nAnn: ");
    QTest::newRow("eight-letter name") << "Maximili" << "x" << QByteArray("\r\nMaximili: x");
    QTest::newRow("UTF-8") << QStringLiteral("Zo\u00eb") << QStringLiteral("\u20ac5 \U0001F600 \u05e9")
                           << QByteArray("\r\nZo\xC3\xAB: \xE2\x82\xAC" "5 \xF0\x9F\x98\x80 \xD7\xA9");
    QTest::newRow("markup is text") << "Ann" << "<b>x</b>&amp;" << QByteArray("\r\nAnn: <b>x</b>&amp;");
    // Longer than a line edit takes unless told otherwise.
    const QByteArray pasted = QByteArray("0123456789").repeated(4000);
    QTest::newRow("40,000 characters") << "Ann" << QString::fromLatin1(pasted) << "\r\nAnn: " + pasted;
    // So long that the box shows a count instead of the text and takes the
    // paste in one step: what goes out is still exactly what was pasted.
    const QString huge = QString::fromLatin1(pasted).repeated(3) + QStringLiteral(" caf\u00e9 \U0001F600");
    QTest::newRow("120,000 characters") << "Ann" << huge << "\r\nAnn: " + huge.toUtf8();
}

void TstExchange::sendPutsOneLineOnTheWire()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    RawPeer raw;
    QVERIFY(raw.start(name));
    say(*raw.chat, message);
    // Local echo: the sender's transcript follows the greeting with one CR LF.
    const QString line = QString::fromUtf8(wire);
    QCOMPARE(raw.chat->ScreenMsg->Text(), Greeting + line);
    QCOMPARE(raw.chat->MyMsg->text(), QString());
    QCOMPARE(raw.chat->MyMsg->echoMode(), QLineEdit::Normal); // the empty box shows what is typed again
    QCOMPARE(raw.readExactly(wire.size()), wire);
    QCOMPARE(raw.chat->ScreenMsg->cursorPosition(), raw.chat->ScreenMsg->viewLength());
    QVERIFY(!raw.peer.waitForReadyRead(50)); // nothing more than the line
}

void TstExchange::arrivalsEachGetOneBreak_data()
{
    QTest::addColumn<QByteArrayList>("arrivals");
    QTest::addColumn<QString>("transcript");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one line") << QByteArrayList{"\r\nEve: hi"} << Greeting + "\r\n\r\nEve: hi"
                              << "Welcome To Chat!\n\n\nEve: hi";
    QTest::newRow("two lines together") << QByteArrayList{"\r\nEve: a\r\nEve: b"}
                                        << Greeting + "\r\n\r\nEve: a\r\nEve: b"
                                        << "Welcome To Chat!\n\n\nEve: a\nEve: b";
    QTest::newRow("a line split in two") << QByteArrayList{"\r\nEve: hel", "lo"}
                                         << Greeting + "\r\n\r\nEve: hel\r\nlo"
                                         << "Welcome To Chat!\n\n\nEve: hel\nlo";
    QTest::newRow("split inside the CR LF") << QByteArrayList{"\r\nEve: a\r", "\nEve: b"}
                                            << Greeting + "\r\n\r\nEve: a\r\r\n\nEve: b"
                                            << "Welcome To Chat!\n\n\nEve: a\n\n\nEve: b";
    QTest::newRow("plain peer lines") << QByteArrayList{"hello from a plain peer\n"}
                                      << Greeting + "\r\nhello from a plain peer\n"
                                      << "Welcome To Chat!\n\nhello from a plain peer\n";
    // More than the view has room for: it must scroll to the last line.
    QByteArrayList many;
    QString transcript = Greeting, shown = QStringLiteral("Welcome To Chat!\n");
    for (int i = 1; i <= 40; ++i) {
        many << "\r\nEve: line " + QByteArray::number(i);
        transcript += QStringLiteral("\r\n\r\nEve: line %1").arg(i);
        shown += QStringLiteral("\n\nEve: line %1").arg(i);
    }
    QTest::newRow("forty arrivals") << many << transcript << shown;
}

void TstExchange::arrivalsEachGetOneBreak()
{
    QFETCH(QByteArrayList, arrivals);
    QFETCH(QString, transcript);
    QFETCH(QString, shown);
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    for (const QByteArray &bytes : arrivals)
        QVERIFY(raw.deliver(bytes));
    QCOMPARE(raw.chat->ScreenMsg->Text(), transcript);
    // The view catches up with the arrivals of a frame when the frame ends.
    QTRY_COMPARE(raw.chat->ScreenMsg->viewPlainText(), shown);
    QCOMPARE(raw.chat->InData, QString::fromUtf8(arrivals.last()));
    // The end of the transcript, the newest line, is on screen.
    TranscriptBox &box = *raw.chat->ScreenMsg;
    const QRect end = box.cursorRect(box.viewLength());
    QVERIFY2(box.viewport()->rect().contains(end),
             qPrintable(QStringLiteral("the end is at y %1, the view is %2 high").arg(end.y()).arg(box.viewport()->height())));
}

void TstExchange::multibyteSplitAtEveryPoint()
{
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    const QByteArray mixed = QStringLiteral("a\u00e9\u20ac\U0001F600b\u05e9\U00010348\u0416z").toUtf8();
    for (qsizetype split = 1; split < mixed.size(); ++split) {
        const QString before = raw.chat->ScreenMsg->Text();
        const QByteArray line = "\r\nEve: " + mixed;
        const qsizetype cut = 7 + split;
        QVERIFY(raw.deliver(line.first(cut)));
        QVERIFY(raw.deliver(line.sliced(cut)));
        // The break falls before the character the split went through, which shows whole.
        qsizetype boundary = cut;
        while ((static_cast<unsigned char>(line[boundary]) & 0xC0) == 0x80)
            --boundary;
        const QString expected = before + "\r\n" + QString::fromUtf8(line.first(boundary)) + "\r\n" +
                                 QString::fromUtf8(line.sliced(boundary));
        QCOMPARE(raw.chat->ScreenMsg->Text(), expected);
        QVERIFY(!raw.chat->ScreenMsg->Text().contains(QChar::ReplacementCharacter));
    }
}

void TstExchange::peerBytesShowAsText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shownLastLines");
    QTest::newRow("NUL and controls") << QByteArray("\r\nEve: a\0b\x07\x1b[2Jc", 16)
                                      << QString::fromUtf16(u"\r\nEve: a\0b\a\x1b[2Jc", 16)
                                      << QStringLiteral("Eve: a\u2400b\u2407\u241b[2Jc");
    QTest::newRow("telnet's Enter") << QByteArray("\r\nEve: hi\r\0there\r\0", 18)
                                    << QStringLiteral("\r\nEve: hi\r\nthere\r\n")
                                    << QStringLiteral("Eve: hi\nthere\n");
    QTest::newRow("markup") << QByteArray("\r\nEve: <b>x</b>&amp;<script>") << "\r\nEve: <b>x</b>&amp;<script>"
                            << QStringLiteral("Eve: <b>x</b>&amp;<script>");
    QTest::newRow("lone CR and LF") << QByteArray("one\rtwo\nthree") << "one\rtwo\nthree"
                                    << QStringLiteral("one\ntwo\nthree");
    // Each invalid byte, or the bytes of a form no decoder may accept, is one U+FFFD.
    QTest::newRow("invalid bytes") << QByteArray("\r\nEve: \xFF" "a\xC0\xAF" "b\xED\xA0\x80" "c")
                                   << QStringLiteral("\r\nEve: \uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc")
                                   << QStringLiteral("Eve: \uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc");
    // A byte order mark is text like any other, never dropped as a header.
    QTest::newRow("byte order mark first") << QByteArray("\xEF\xBB\xBFhi") << QStringLiteral("\uFEFFhi")
                                           << QStringLiteral("\n\uFEFFhi");
    QTest::newRow("two byte order marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") << QStringLiteral("\uFEFF\uFEFF")
                                          << QStringLiteral("\n\uFEFF\uFEFF");
}

void TstExchange::peerBytesShowAsText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, shownLastLines);
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    QVERIFY(raw.deliver(bytes));
    QCOMPARE(raw.chat->ScreenMsg->Text(), Greeting + "\r\n" + text);
    QVERIFY(raw.chat->ScreenMsg->viewPlainText().endsWith(shownLastLines));
}

void TstExchange::incompleteCharacterAtCloseShows()
{
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    raw.peer.write("\r\nEve: caf\xC3");
    raw.peer.disconnectFromHost();
    QTRY_COMPARE(raw.chat->Status->text(), QStringLiteral("Disconnected"));
    // The held byte is not dropped: it shows as U+FFFD before the end.
    QCOMPARE(raw.chat->ScreenMsg->Text(), Greeting + "\r\n\r\nEve: caf\r\n\uFFFD");
    QVERIFY(!raw.chat->Command1->isEnabled());
}

namespace {

void inputMethod(QLineEdit *box, const QString &preedit, const QString &commit = {})
{
    QInputMethodEvent event(preedit, {});
    event.setCommitString(commit);
    QApplication::sendEvent(box, &event);
}

} // namespace

// What an input method is still composing (its preedit) goes out with the
// line, at the caret; the engine's later commit of that same syllable into
// the emptied box (ibus-hangul does this when it is reset) is dropped, once,
// and only if nothing else was typed first. scripts/check-ime.sh checks the
// same with real engines.
void TstExchange::sendTakesWhatIsBeingComposed()
{
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    QLineEdit *box = raw.chat->MyMsg;
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("ab"));
    QTest::keyClick(box, Qt::Key_Left);
    inputMethod(box, QStringLiteral("\ud55c"));
    QTest::mouseClick(raw.chat->Command1, Qt::LeftButton);
    QCOMPARE(raw.readExactly(12), QByteArray("\r\nAnn: a\xED\x95\x9C" "b"));
    QCOMPARE(raw.chat->focusWidget(), box); // a click on Send leaves the window's focus in the box
    inputMethod(box, {}, QStringLiteral("\ud55c")); // the engine gives the sent syllable back
    QCOMPARE(box->text(), QString());
    inputMethod(box, {}, QStringLiteral("\ud55c")); // typed again: the user's
    QCOMPARE(box->text(), QStringLiteral("\ud55c"));

    box->clear();
    inputMethod(box, QStringLiteral("\uae00"));
    QTest::mouseClick(raw.chat->Command1, Qt::LeftButton);
    QCOMPARE(raw.readExactly(10), QByteArray("\r\nAnn: \xEA\xB8\x80"));
    QTest::keyClick(box, Qt::Key_Z); // typed before the engine's commit came
    inputMethod(box, {}, QStringLiteral("\uae00"));
    QCOMPARE(box->text(), QStringLiteral("z\uae00"));
}

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
