#include "support/testing.h"
#include "app/startup.h"

#include "chat/formchat.h"
#include "system/fonts.h"
#include "setup/formsetup.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

TestProgram::TestProgram() : program_(std::make_unique<platform::Program>())
{
    app::prepareProgram(*program_);
    app::prepareApplication();
    program_->setMessageBoxService(std::make_unique<RecordingBoxes>(&boxes));
    program_->setEndAction([this] { ++endCount; });
}

TestProgram::~TestProgram() = default;

namespace {

// Takes the port's lock file for the rest of this process, or says it is taken.
bool lockPort(quint16 port)
{
#ifdef Q_OS_UNIX
    // Shared by every user, like the temporary folder itself.
    const QByteArray folder = QDir::temp().filePath(QStringLiteral("zaqchat-test-ports")).toLocal8Bit();
    if (::mkdir(folder.constData(), 01777) == 0)
        ::chmod(folder.constData(), 01777);
    const QByteArray path = folder + "/" + QByteArray::number(port);
    const int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0444);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    return true; // the descriptor stays open: the lock goes when the process does
#else
    Q_UNUSED(port);
    return true;
#endif
}

} // namespace

quint16 freeLowPort()
{
    // Below the range the system picks outgoing ports from, so only a program
    // that asks for this very port could take it.
    for (int attempt = 0; attempt < 500; ++attempt) {
        const auto port = static_cast<quint16>(QRandomGenerator::global()->bounded(2000, 10000));
        if (!lockPort(port))
            continue;
        QTcpServer probe;
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
    qFatal("no free port from 2000 to 9999");
}

void typeText(QWidget *control, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A surrogate pair is one character and goes as one key.
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (c.unicode() < 0x80)
            QTest::keyClick(control, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, control, Qt::Key_unknown, text.sliced(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

void fillSetup(FormSetup &setup, const QString &ip, const QString &port, const QString &name, bool client)
{
    const QList<std::pair<QLineEdit *, QString>> fields = {
        {setup.RemIP, ip}, {setup.PortNum, port}, {setup.UserName, name}};
    for (const auto &[field, text] : fields) {
        field->clear();
        typeText(field, text);
    }
    QTest::mouseClick(client ? setup.Option2 : setup.Option1, Qt::LeftButton);
}

void connectFromSetup(platform::Program &program, const QString &ip, quint16 port, const QString &name,
                      bool client)
{
    FormSetup &setup = program.form<FormSetup>();
    setup.Show();
    fillSetup(setup, ip, QString::number(port), name, client);
    QTest::mouseClick(setup.Command1, Qt::LeftButton);
}

void activate(QWidget &window)
{
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

void say(FormChat &chat, const QString &message)
{
    chat.MyMsg->setFocus();
    if (message.size() <= 200) {
        typeText(chat.MyMsg, message);
    } else {
        QApplication::clipboard()->setText(message);
        QTest::keyClick(chat.MyMsg, Qt::Key_V, Qt::ControlModifier);
    }
    QTest::mouseClick(chat.Command1, Qt::LeftButton);
}

void resetOnClose(QTcpSocket *socket)
{
#ifdef Q_OS_UNIX
    const linger hard{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
#else
    Q_UNUSED(socket);
#endif
}
