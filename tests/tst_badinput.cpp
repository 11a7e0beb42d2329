// Bad setup input, typed into the setup window: every row ends in a
// conversation or a clear box, never a crash or a hang.

#include "chat/formchat.h"
#include "platform/net/winsock.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// What a row must end in.
enum Outcome { Talk = 1, Box = 2, Either = Talk | Box };

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

bool ipv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}

void type(QLineEdit *field, const QString &text)
{
    field->clear();
    QTest::keyClicks(field, text);
}

} // namespace

class TstBadInput : public QObject
{
    Q_OBJECT

private slots:
    void setupInput_data();
    void setupInput();
};

void TstBadInput::setupInput_data()
{
    QTest::addColumn<bool>("client");
    QTest::addColumn<QString>("address");
    // A port text, or "free" / "in use" for a port found at run time.
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("outcome");
    // A pattern the box's prompt or detail must match, if one is shown.
    QTest::addColumn<QString>("boxSays");

    const QString notNumber = QStringLiteral("is not a whole number from 1 to 9999");
    const QString local = QStringLiteral("127.0.0.1");
    QTest::newRow("port: free") << false << local << "free" << int(Talk) << QString();
    QTest::newRow("port: empty") << false << local << "" << int(Box) << "Fill -> Port Number";
    QTest::newRow("port: blank") << false << local << " " << int(Box) << notNumber;
    QTest::newRow("port: letters") << false << local << "abc" << int(Box) << notNumber;
    QTest::newRow("port: 0") << false << local << "0" << int(Box) << notNumber;
    QTest::newRow("port: -1") << false << local << "-1" << int(Box) << notNumber;
    QTest::newRow("port: +80") << false << local << "+80" << int(Box) << notNumber;
    QTest::newRow("port: 1e3") << false << local << "1e3" << int(Box) << notNumber;
    // Taken as the whole numbers 8 and 80; only connected to, never bound.
    QTest::newRow("port: 08 as client") << true << local << "08" << int(Either) << "on port 8\\b";
    QTest::newRow("port: ' 80 ' as client") << true << local << " 80 " << int(Either) << "on port 80\\b";
    QTest::newRow("port: 9999") << false << local << "9999" << int(Either) << "already in use";
    QTest::newRow("port: privileged 1001") << false << local << "1001" << int(runningAsRoot() ? Either : Box)
                                           << (runningAsRoot() ? "already in use" : "administrator rights");
    QTest::newRow("port: in use") << false << local << "in use" << int(Box) << "already in use";

    const bool v6 = ipv6Loopback();
    QTest::newRow("address: empty") << true << "" << "free" << int(Box) << "Fill -> Remote IP";
    QTest::newRow("address: blanks") << true << "   " << "free" << int(Box) << "No computer address was given";
    QTest::newRow("address: 999.1.1.1") << true << "999.1.1.1" << "free" << int(Box) << "Problem To Connect";
    // The field takes 15 characters, so this is typed as "no.such.host.in".
    QTest::newRow("address: no.such.host.invalid")
        << true << "no.such.host.invalid" << "free" << int(Box) << "Problem To Connect";
    QTest::newRow("address: localhost") << true << "localhost" << "free" << int(Talk) << QString();
    QTest::newRow("address: ::1") << true << "::1" << "free" << int(v6 ? Talk : Box) << "Problem To Connect";
    QTest::newRow("address: 127.0.0.1") << true << local << "free" << int(Talk) << QString();
}

void TstBadInput::setupInput()
{
    QFETCH(bool, client);
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(int, outcome);
    QFETCH(QString, boxSays);

    QTcpServer peerServer; // the other side when this copy is the client
    QTcpServer squatter;   // holds the port of the "in use" row
    QString portText = port;
    if (port == QLatin1String("free") || port == QLatin1String("in use")) {
        const quint16 number = freeLowPort();
        portText = QString::number(number);
        if (port == QLatin1String("in use"))
            QVERIFY(squatter.listen(QHostAddress::Any, number));
        else if (client)
            QVERIFY(peerServer.listen(QHostAddress::Any, number));
    }

    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    (client ? setup.Option2 : setup.Option1)->setChecked(true);
    type(setup.RemIP, address);
    type(setup.PortNum, portText);
    type(setup.UserName, QStringLiteral("Ann"));
    QTest::mouseClick(setup.Command1, Qt::LeftButton);

    FormChat &chat = program->form<FormChat>();
    QTcpSocket peer;
    if (!client && chat.Status->text() == QLatin1String("Listening...")) {
        peer.connectToHost(QHostAddress::LocalHost, chat.Winsock->LocalPort());
        QVERIFY(peer.waitForConnected(5000));
    }
    // A failed lookup or connection attempt is given up after at most the endpoint's timeout.
    QTRY_VERIFY_WITH_TIMEOUT(chat.Status->text() == QLatin1String("Connected") || !program.boxes.isEmpty(),
                             platform::Winsock::ConnectTimeoutMs + 10000);

    const bool talking = chat.Status->text() == QLatin1String("Connected");
    QVERIFY2(outcome & (talking ? Talk : Box), qPrintable(talking ? QStringLiteral("connected")
                                                                  : program.boxes.first().prompt));
    if (talking) {
        QVERIFY(chat.Command1->isEnabled());
        QVERIFY(chat.isVisible());
        QVERIFY(program.boxes.isEmpty());
        return;
    }
    const auto &box = program.boxes.first();
    const QRegularExpression says(boxSays);
    QVERIFY2(says.match(box.prompt).hasMatch() || says.match(box.detail).hasMatch(),
             qPrintable(box.prompt + QLatin1Char('|') + box.detail));
    QVERIFY(box.style == 16 || box.style == 48);
    QVERIFY(!chat.Command1->isEnabled());
    QCOMPARE(program.endCount, 0);
}

QTEST_MAIN(TstBadInput)
#include "tst_badinput.moc"
