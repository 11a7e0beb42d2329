// Two copies chat in both directions at once, with lines of random length and
// random UTF-8 content, typed into MyMsg and sent with Send. Each receiver
// must get exactly what its peer sent, in order, and each transcript must be
// exactly its own lines and the arrivals interleaved as they happened.
//
// ZAQ_SOAK_LINES sets how many lines are sent in all (default 1000);
// scripts/soak.sh runs a million.

#include "chat/formchat.h"
#include "transcript/transcriptbox.h"
#include "connection/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRadioButton>
#include <QtTest>

namespace {

// One character of 1, 2, 3 or 4 UTF-8 bytes, never a line break or control.
void appendRandomChar(QString &text, QRandomGenerator &rng)
{
    char32_t code = 0;
    switch (rng.bounded(4)) {
    case 0: code = rng.bounded(0x20, 0x7F); break;
    case 1: code = rng.bounded(0xA0, 0x800); break;
    case 2:
        do {
            code = rng.bounded(0x800, 0xFFFE);
        } while ((code >= 0xD800 && code <= 0xDFFF) || (code >= 0xFDD0 && code <= 0xFDEF) || code == 0x2028
                 || code == 0x2029);
        break;
    default: code = rng.bounded(0x10000, 0x110000); break;
    }
    if (rng.bounded(64) == 0)
        code = 0xFEFF; // a byte order mark may begin an arrival
    text += QString::fromUcs4(&code, 1);
}

QString randomMessage(QRandomGenerator &rng)
{
    // Mostly short, now and then long.
    const int length = rng.bounded(100) == 0 ? rng.bounded(20000) : rng.bounded(120);
    QString text;
    text.reserve(length * 2);
    for (int i = 0; i < length; ++i)
        appendRandomChar(text, rng);
    return text;
}

// What one side has shown and what it still expects from its peer.
struct Side
{
    TestProgram program;
    FormChat *chat = nullptr;
    QString transcript = Greeting; // expected, trimmed to its newest part when long
    bool trimmed = false;
    QString sent;                  // what this side sent, from `shownUpTo` on not yet shown by the peer
    qsizetype shownUpTo = 0;
    qsizetype received = 0;
    qsizetype lines = 0;
    QString mismatch;

    qsizetype unreceived() const { return sent.size() - shownUpTo; }
    void keep(const QString &text)
    {
        transcript += text;
        const qsizetype bound = FormChat::TranscriptBound;
        if (transcript.size() > bound + bound / 2) {
            transcript.remove(0, transcript.size() - bound);
            trimmed = true;
        }
    }
};

// Checks each arrival at `to` against what `from` sent, right after the window took it.
void watchArrivals(Side &to, Side &from)
{
    QObject::connect(to.chat->Winsock, &platform::Winsock::dataArrival, to.chat, [&to, &from] {
        const QString &data = to.chat->InData;
        const QStringView expected = QStringView(from.sent).sliced(from.shownUpTo);
        if (to.mismatch.isEmpty() && !expected.startsWith(data))
            to.mismatch = QStringLiteral("arrival %1 chars after %2 received").arg(data.size()).arg(to.received);
        from.shownUpTo += data.size();
        if (from.shownUpTo > (1 << 20)) {
            from.sent.remove(0, from.shownUpTo);
            from.shownUpTo = 0;
        }
        to.received += data.size();
        to.keep(QStringLiteral("\r\n") + data);
    });
}

void send(Side &side, QRandomGenerator &rng)
{
    side.chat->MyMsg->setText(randomMessage(rng));
    side.chat->Command1->click();
    side.sent += side.chat->MsgLine;
    side.keep(side.chat->MsgLine);
    ++side.lines;
}

int soakLines()
{
    bool ok = false;
    const int lines = qEnvironmentVariableIntValue("ZAQ_SOAK_LINES", &ok);
    return ok && lines > 0 ? lines : 1000;
}

} // namespace

class TstSoak : public QObject
{
    Q_OBJECT

private slots:
    void bothWaysAtOnce();
};

void TstSoak::bothWaysAtOnce()
{
    Side server, client;
    server.chat = &server.program->form<FormChat>();
    client.chat = &client.program->form<FormChat>();
    server.program->form<FormSetup>().UserName->setText(QStringLiteral("Ann"));
    client.program->form<FormSetup>().UserName->setText(QStringLiteral("\U0001F600Bob"));
    server.chat->Winsock->setLocalPort(0);
    server.chat->Winsock->Listen();
    client.chat->Winsock->setRemoteHost(QStringLiteral("127.0.0.1"));
    client.chat->Winsock->setRemotePort(server.chat->Winsock->LocalPort());
    client.chat->Winsock->Connect();
    QTRY_VERIFY(server.chat->Command1->isEnabled() && client.chat->Command1->isEnabled());
    watchArrivals(server, client);
    watchArrivals(client, server);

    const int total = soakLines();
    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("soak: %d lines, seed %u", total, seed);
    QRandomGenerator rng(seed);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < total; ++i) {
        send(rng.bounded(2) ? server : client, rng);
        if (rng.bounded(8) == 0)
            QCoreApplication::processEvents();
        // Let the other side catch up now and then, so neither queue grows without end.
        while (server.unreceived() + client.unreceived() > (4 << 20))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        QVERIFY2(server.mismatch.isEmpty() && client.mismatch.isEmpty(),
                 qPrintable(server.mismatch + client.mismatch));
    }
    QTRY_VERIFY_WITH_TIMEOUT(server.unreceived() == 0 && client.unreceived() == 0, 60000);
    qInfo("soak: %lld + %lld lines, %lld + %lld characters received, %.0f lines/s", qlonglong(server.lines),
          qlonglong(client.lines), qlonglong(server.received), qlonglong(client.received),
          total * 1000.0 / std::max<qint64>(1, clock.elapsed()));

    for (Side *side : {&server, &client}) {
        QVERIFY2(side->mismatch.isEmpty(), qPrintable(side->mismatch));
        const QString &shown = side->chat->ScreenMsg->Text();
        if (side->trimmed || shown.size() < side->transcript.size()) {
            QVERIFY(side->transcript.endsWith(shown));
            QVERIFY(shown.size() <= FormChat::TranscriptBound);
        } else {
            QCOMPARE(shown, side->transcript);
        }
        QCOMPARE(side->chat->Status->text(), QStringLiteral("Connected"));
        QVERIFY(side->program.boxes.isEmpty());
    }
}

QTEST_MAIN(TstSoak)
#include "tst_soak.moc"
