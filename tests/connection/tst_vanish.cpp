// A peer that vanishes without a word (its network link goes down) is given
// up after the program's limit, with or without text on its way; the user
// sees "Disconnected" and, when text was owed, how much. The two sides live
// in network namespaces of their own, joined by a veth pair, so the link can
// be cut; where namespaces cannot be made (not root, no `ip`, a container
// without the right), the test says so and skips.

#include "support/peers.h"
#include "support/stalledpeer.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sched.h>
#endif

using namespace peers;

class TstVanish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void vanishedPeer_data();
    void vanishedPeer();

private:
    bool ip(const QStringList &arguments, QString *error = nullptr);
    void enter(int ns);

    QString programSide_, peerSide_;
    int home_ = -1, programNs_ = -1, peerNs_ = -1;
};

bool TstVanish::ip(const QStringList &arguments, QString *error)
{
    QProcess run;
    run.start(QStringLiteral("ip"), arguments);
    const bool ok = run.waitForFinished(10000) && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0;
    if (!ok && error)
        *error = QStringLiteral("ip %1: %2").arg(arguments.join(u' '), QString::fromLocal8Bit(run.readAllStandardError()).trimmed());
    return ok;
}

void TstVanish::enter(int ns)
{
#ifdef Q_OS_LINUX
    // Sockets belong to the namespace of the thread that makes them.
    QVERIFY2(::setns(ns, CLONE_NEWNET) == 0, strerror(errno));
#else
    Q_UNUSED(ns);
#endif
}

void TstVanish::initTestCase()
{
#ifndef Q_OS_LINUX
    QSKIP("network namespaces are a Linux feature");
#else
    if (geteuid() != 0)
        QSKIP("making network namespaces needs root: the vanished-peer cases are not run");
    const QString tag = QString::number(QCoreApplication::applicationPid());
    programSide_ = QStringLiteral("zaq-%1-a").arg(tag);
    peerSide_ = QStringLiteral("zaq-%1-b").arg(tag);
    QString error;
    const QList<QStringList> steps = {
        {"netns", "add", programSide_},
        {"netns", "add", peerSide_},
        {"-n", programSide_, "link", "add", "va", "type", "veth", "peer", "name", "vb", "netns", peerSide_},
        {"-n", programSide_, "addr", "add", "10.231.0.1/24", "dev", "va"},
        {"-n", peerSide_, "addr", "add", "10.231.0.2/24", "dev", "vb"},
        {"-n", programSide_, "link", "set", "va", "up"},
        {"-n", peerSide_, "link", "set", "vb", "up"},
    };
    for (const QStringList &step : steps) {
        if (!ip(step, &error)) {
            cleanupTestCase();
            QSKIP(qPrintable(QStringLiteral("network namespaces cannot be made here (%1): the vanished-peer cases are not run").arg(error)));
        }
    }
    home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    programNs_ = ::open(qPrintable(QStringLiteral("/run/netns/") + programSide_), O_RDONLY | O_CLOEXEC);
    peerNs_ = ::open(qPrintable(QStringLiteral("/run/netns/") + peerSide_), O_RDONLY | O_CLOEXEC);
    QVERIFY(home_ >= 0 && programNs_ >= 0 && peerNs_ >= 0);
#endif
}

void TstVanish::cleanupTestCase()
{
#ifdef Q_OS_LINUX
    if (home_ >= 0)
        enter(home_);
    for (int fd : {home_, programNs_, peerNs_}) {
        if (fd >= 0)
            ::close(fd);
    }
    for (const QString &ns : {programSide_, peerSide_})
        ip({"netns", "del", ns});
#endif
}

void TstVanish::vanishedPeer_data()
{
    QTest::addColumn<bool>("withText");
    QTest::newRow("idle: keepalive gives it up") << false;
    QTest::newRow("text on its way: unanswered retransmissions give it up") << true;
}

void TstVanish::vanishedPeer()
{
#ifdef Q_OS_LINUX
    QFETCH(bool, withText);
    // Up and running again for every row.
    QVERIFY(ip({"-n", peerSide_, "link", "set", "vb", "up"}));
    enter(peerNs_);
    StalledPeer peer(0x0AE70002); // 10.231.0.2
    enter(programNs_);
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    chat.Winsock->setLostPeerMs(2000);
    connectTo(program, peer.port, QStringLiteral("10.231.0.2"));
    QVERIFY(peer.accept());
    QTRY_COMPARE(chat.Status->text(), QStringLiteral("Connected"));

    QVERIFY(ip({"-n", peerSide_, "link", "set", "vb", "down"}));
    const QString message = QStringLiteral("are you there? \U0001F600");
    if (withText) {
        chat.MyMsg->setText(message);
        QTest::mouseClick(chat.Command1, Qt::LeftButton);
    }
    // Two seconds of silence, and the checks that notice it: well within 15.
    QTRY_COMPARE_WITH_TIMEOUT(chat.Status->text(), QStringLiteral("Disconnected"), 15000);
    QVERIFY(!chat.Command1->isEnabled());
    if (!withText) {
        QVERIFY(program.boxes.isEmpty());
        return;
    }
    QTRY_COMPARE(program.boxes.size(), 1);
    const auto [characters, lines] = owedFrom({QStringLiteral("\r\nCli: %1").arg(message).toUtf8()}, 0);
    QCOMPARE(lines, 1);
    QCOMPARE(program.boxes.first().prompt,
             QStringLiteral("The last %1 characters of your last line may not have arrived.").arg(characters));
    QVERIFY(!QTest::qWaitFor([&] { return program.boxes.size() > 1; }, 300));
#endif
}

QTEST_MAIN(TstVanish)
#include "tst_vanish.moc"
