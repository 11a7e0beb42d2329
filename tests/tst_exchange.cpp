// The message exchange end to end: Send puts one chat line on the wire and in
// the sender's transcript; every arrival goes into the receiver's transcript
// after one added CR LF. Driven through the windows' controls, checked on the
// wire with a raw socket peer and by the exact transcript text.
#include "chat/formchat.h"
#include "platform/ui/transcriptbox.h"
#include "platform/net/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTcpSocket>
#include <QtTest>

using platform::TranscriptBox;
using platform::Winsock;

namespace {

const QString Greeting = QStringLiteral("Welcome To Chat!\r\n");

// Types a message and presses Send, as the user does.
void send(FormChat &chat, const QString &message)
{
    chat.MyMsg->setFocus();
    typeText(chat.MyMsg, message);
    QTest::mouseClick(chat.Command1, Qt::LeftButton);
}

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
    void twoProgramsChatBothWays();
    void arrivalsEachGetOneBreak_data();
    void arrivalsEachGetOneBreak();
    void multibyteSplitAtEveryPoint();
    void peerBytesShowAsText_data();
    void peerBytesShowAsText();
    void incompleteCharacterAtCloseShows();
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
}

void TstExchange::sendPutsOneLineOnTheWire()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    RawPeer raw;
    QVERIFY(raw.start(name));
    send(*raw.chat, message);
    QCOMPARE(raw.readExactly(wire.size()), wire);
    const QString line = QString::fromUtf8(wire);
    QCOMPARE(raw.chat->MsgLine, line);
    // Local echo: the sender's transcript follows the greeting with one CR LF.
    QCOMPARE(raw.chat->ScreenMsg->Text(), Greeting + line);
    QCOMPARE(raw.chat->MyMsg->text(), QString());
    QCOMPARE(raw.chat->ScreenMsg->textCursor().position(), raw.chat->ScreenMsg->document()->characterCount() - 1);
    QVERIFY(!raw.peer.waitForReadyRead(50)); // nothing more than the line
}

void TstExchange::twoProgramsChatBothWays()
{
    TestProgram ann, bob;
    const quint16 port = freeLowPort();
    connectFromSetup(*ann, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
    connectFromSetup(*bob, QStringLiteral("127.0.0.1"), port, QStringLiteral("Bob"), true);
    FormChat &annChat = ann->form<FormChat>();
    FormChat &bobChat = bob->form<FormChat>();
    QTRY_COMPARE(annChat.Status->text(), QStringLiteral("Connected"));
    QTRY_COMPARE(bobChat.Status->text(), QStringLiteral("Connected"));

    send(annChat, QStringLiteral("hi"));
    QCOMPARE(annChat.ScreenMsg->Text(), QStringLiteral("Welcome To Chat!\r\n\r\nAnn: hi"));
    QTRY_COMPARE(bobChat.ScreenMsg->Text(), QStringLiteral("Welcome To Chat!\r\n\r\n\r\nAnn: hi"));

    send(bobChat, QStringLiteral("hello \u00e9\U0001F600"));
    QTRY_COMPARE(annChat.ScreenMsg->Text(),
                 QStringLiteral("Welcome To Chat!\r\n\r\nAnn: hi\r\n\r\nBob: hello \u00e9\U0001F600"));
    QCOMPARE(bobChat.ScreenMsg->Text(),
             QStringLiteral("Welcome To Chat!\r\n\r\n\r\nAnn: hi\r\nBob: hello \u00e9\U0001F600"));

    // The name is read from the setup window at the moment of sending.
    FormSetup &annSetup = ann->form<FormSetup>();
    annSetup.UserName->clear();
    typeText(annSetup.UserName, QStringLiteral("Anna"));
    send(annChat, QString());
    QTRY_VERIFY(bobChat.ScreenMsg->Text().endsWith(QStringLiteral("Bob: hello \u00e9\U0001F600\r\n\r\nAnna: ")));
    QVERIFY(annChat.ScreenMsg->Text().endsWith(QStringLiteral("\r\n\r\nBob: hello \u00e9\U0001F600\r\nAnna: ")));

    // What each view shows is its transcript, line for line.
    for (FormChat *chat : {&annChat, &bobChat}) {
        QString shown = chat->ScreenMsg->Text();
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(chat->ScreenMsg->document()->toPlainText(), shown);
        QCOMPARE(chat->MyMsg->text(), QString());
    }
    QVERIFY(ann.boxes.isEmpty() && bob.boxes.isEmpty());
}

void TstExchange::arrivalsEachGetOneBreak_data()
{
    QTest::addColumn<QByteArrayList>("arrivals");
    QTest::addColumn<QString>("transcript");
    QTest::newRow("one line") << QByteArrayList{"\r\nEve: hi"} << Greeting + "\r\n\r\nEve: hi";
    QTest::newRow("two lines together") << QByteArrayList{"\r\nEve: a\r\nEve: b"}
                                        << Greeting + "\r\n\r\nEve: a\r\nEve: b";
    QTest::newRow("a line split in two") << QByteArrayList{"\r\nEve: hel", "lo"}
                                         << Greeting + "\r\n\r\nEve: hel\r\nlo";
    QTest::newRow("split inside the CR LF") << QByteArrayList{"\r\nEve: a\r", "\nEve: b"}
                                            << Greeting + "\r\n\r\nEve: a\r\r\n\nEve: b";
    QTest::newRow("plain peer lines") << QByteArrayList{"hello from a plain peer\n"}
                                      << Greeting + "\r\nhello from a plain peer\n";
}

void TstExchange::arrivalsEachGetOneBreak()
{
    QFETCH(QByteArrayList, arrivals);
    QFETCH(QString, transcript);
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    for (const QByteArray &bytes : arrivals)
        QVERIFY(raw.deliver(bytes));
    QCOMPARE(raw.chat->ScreenMsg->Text(), transcript);
    QCOMPARE(raw.chat->ScreenMsg->document()->toPlainText(), TranscriptBox::viewText(transcript, false));
    QCOMPARE(raw.chat->InData, QString::fromUtf8(arrivals.last()));
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
    QTest::addColumn<QString>("shownLastLines");
    QTest::newRow("NUL and controls") << QByteArray("\r\nEve: a\0b\x07\x1b[2Jc", 16)
                                      << QStringLiteral("Eve: a\u2400b\u2407\u241b[2Jc");
    QTest::newRow("markup") << QByteArray("\r\nEve: <b>x</b>&amp;<script>") << QStringLiteral("Eve: <b>x</b>&amp;<script>");
    QTest::newRow("lone CR and LF") << QByteArray("one\rtwo\nthree") << QStringLiteral("one\ntwo\nthree");
    QTest::newRow("invalid bytes") << QByteArray("\r\nEve: \xFF" "a\xC0\xAF" "b\xED\xA0\x80" "c")
                                   << QStringLiteral("Eve: \uFFFDa\uFFFD\uFFFDb\uFFFD\uFFFD\uFFFDc");
}

void TstExchange::peerBytesShowAsText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shownLastLines);
    RawPeer raw;
    QVERIFY(raw.start(QStringLiteral("Ann")));
    QVERIFY(raw.deliver(bytes));
    // The exact text keeps every character; invalid bytes read as one-shot decoding reads them.
    QCOMPARE(raw.chat->ScreenMsg->Text(), Greeting + "\r\n" + QString::fromUtf8(bytes));
    QVERIFY(raw.chat->ScreenMsg->document()->toPlainText().endsWith(shownLastLines));
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

QTEST_MAIN(TstExchange)
#include "tst_exchange.moc"
