#include "support/testing.h"

#include "platform/ui/fonts.h"
#include "setup/formsetup.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

TestProgram::TestProgram() : program_(std::make_unique<platform::Program>())
{
    platform::installFontSubstitutes();
    program_->setMessageBoxService(std::make_unique<RecordingBoxes>(&boxes));
    program_->setEndAction([this] { ++endCount; });
}

TestProgram::~TestProgram() = default;

quint16 freeLowPort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = static_cast<quint16>(QRandomGenerator::global()->bounded(2000, 9999));
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

void resetOnClose(QTcpSocket *socket)
{
#ifdef Q_OS_UNIX
    const linger hard{1, 0};
    ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
#else
    Q_UNUSED(socket);
#endif
}
