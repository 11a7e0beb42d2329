// A real outside peer: netcat (OpenBSD flavour) as client and as server.
// What the program sends comes out of nc byte for byte; what is typed into nc
// shows in the transcript; nc going away shows "Disconnected".
#include "chat/formchat.h"
#include "transcript/transcriptbox.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {

enum class Ending { StdinClosed, Killed };

QString netcat()
{
    const QString found = QStandardPaths::findExecutable(QStringLiteral("nc"));
    return found.isEmpty() && QFile::exists(QStringLiteral("/bin/nc")) ? QStringLiteral("/bin/nc") : found;
}

// Whether something listens on the TCP port on this machine. Asking the
// kernel, not connecting: nc would take a probe connection as its one peer.
bool listening(quint16 port)
{
    const QString hexPort = QStringLiteral(":%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
    for (const QString &name : {QStringLiteral("/proc/net/tcp"), QStringLiteral("/proc/net/tcp6")}) {
        QFile table(name);
        if (!table.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields[1].endsWith(hexPort.toLatin1()) && fields[3] == "0A")
                return true;
        }
    }
    return false;
}

} // namespace

class TstNetcat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void chatWithNetcat_data();
    void chatWithNetcat();
};

void TstNetcat::initTestCase()
{
    if (netcat().isEmpty())
        QSKIP("nc (netcat-openbsd) is not installed");
#ifndef Q_OS_LINUX
    QSKIP("the listening check reads /proc/net/tcp");
#endif
}

void TstNetcat::chatWithNetcat_data()
{
    QTest::addColumn<bool>("programListens");
    QTest::addColumn<int>("ending");
    QTest::newRow("program listens, nc's input ends") << true << int(Ending::StdinClosed);
    QTest::newRow("program listens, nc killed") << true << int(Ending::Killed);
    QTest::newRow("nc listens, nc's input ends") << false << int(Ending::StdinClosed);
    QTest::newRow("nc listens, nc killed") << false << int(Ending::Killed);
}

void TstNetcat::chatWithNetcat()
{
    QFETCH(bool, programListens);
    QFETCH(int, ending);
    TestProgram program;
    const quint16 port = freeLowPort();
    QProcess nc;
    nc.setProgram(netcat());
    // -N: shut the connection down for sending once nc's input ends.
    if (programListens) {
        connectFromSetup(*program, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), false);
        nc.setArguments({QStringLiteral("-N"), QStringLiteral("127.0.0.1"), QString::number(port)});
        nc.start();
    } else {
        nc.setArguments({QStringLiteral("-N"), QStringLiteral("-l"), QStringLiteral("127.0.0.1"), QString::number(port)});
        nc.start();
        QTRY_VERIFY(listening(port));
        connectFromSetup(*program, QStringLiteral("127.0.0.1"), port, QStringLiteral("Ann"), true);
    }
    QVERIFY(nc.waitForStarted(5000));
    FormChat &chat = program->form<FormChat>();
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));

    typeText(chat.MyMsg, QStringLiteral("hi \u00e9\u20ac"));
    QTest::mouseClick(chat.Command1, Qt::LeftButton);
    QByteArray out;
    QTRY_VERIFY((out += nc.readAllStandardOutput()).size() >= 13);
    QCOMPARE(out, QByteArray("\r\nAnn: hi \xC3\xA9\xE2\x82\xAC"));

    nc.write("hello from nc \xC3\xA9\n");
    const QString expected = Greeting + QStringLiteral("\r\nAnn: hi \u00e9\u20ac\r\nhello from nc \u00e9\n");
    QTRY_COMPARE(chat.ScreenMsg->Text(), expected);
    QCOMPARE(chat.ScreenMsg->viewPlainText(),
             QStringLiteral("Welcome To Chat!\n\nAnn: hi \u00e9\u20ac\nhello from nc \u00e9\n"));

    if (Ending(ending) == Ending::StdinClosed)
        nc.closeWriteChannel();
    else
        nc.kill();
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Disconnected"));
    QVERIFY(!chat.Command1->isEnabled());
    QCOMPARE(chat.ScreenMsg->Text(), expected);
    // The program's close lets nc end too.
    QTRY_COMPARE_WITH_TIMEOUT(nc.state(), QProcess::NotRunning, 10000);
    QVERIFY(program.boxes.isEmpty());
}

QTEST_MAIN(TstNetcat)
#include "tst_netcat.moc"
