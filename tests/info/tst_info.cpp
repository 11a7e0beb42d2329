#include "chat/formchat.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "setup/formsetup.h"
#include "support/testing.h"

#include <QtTest>

#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

using platform::Surface;

namespace {

QStringList texts(const QList<Surface::PrintedLine> &lines)
{
    QStringList out;
    for (const auto &line : lines)
        out << line.text;
    return out;
}

const QStringList HelpPage = {
    QString(),
    QStringLiteral("Your IP Address you may find:"),
    QStringLiteral("~~~~~~~~~~~~~~~~~~~"),
    QStringLiteral("In WINDOWS 95/98      run command WINIPCFG.EXE"),
    QStringLiteral("In WINDOWS NT/2000 run command IPCONFIG.EXE"),
    QString(),
    QStringLiteral("---------------IN SETUP-------------------------"),
    QStringLiteral("1. Enter Remote Computer IP Address"),
    QStringLiteral("2. Enter Port Number.   Default Port - 1001"),
    QStringLiteral("3. Enter Your Name"),
    QString(),
    QStringLiteral("----------------IN CHAT-------------------------"),
    QStringLiteral("1. Wait until your will take message 'CONNECTED'"),
    QStringLiteral("2. Type your message below 'YOUR MESSAGE'"),
    QStringLiteral("3. Press SEND button to send your message."),
};

} // namespace

// The help and about windows: their printed pages, single instances, OK and
// system close, the picture, and the help window's independence.
class TstInfo : public QObject
{
    Q_OBJECT

private slots:
    void helpPagePrintedOnceInOrder();
    void helpReshowsWithoutPrintingAgain();
    void helpSystemCloseUnloadsAndReloads();
    void helpSurvivesSetupHiding();
    void helpFromChatIsTheSameWindow();
    void aboutBlockLinesAndPositions();
    void aboutContactLabelsDoNotTouch();
    void aboutPicture();
    void aboutReshowAndSystemClose();
    void okAnswersEnterAndEscape_data();
    void okAnswersEnterAndEscape();
    void windowsAsTheirTables_data();
    void windowsAsTheirTables();
};

void TstInfo::helpPagePrintedOnceInOrder()
{
    TestProgram program;
    FormHelp &help = program->form<FormHelp>();
    QCOMPARE(texts(help.printedLines()), HelpPage);
    QCOMPARE(help.lineHeightTwips(), 195);
    for (int i = 0; i < HelpPage.size(); ++i)
        QCOMPARE(help.printedLines()[i].topTwips, i * 195);
    // The page ends above the OK button.
    QCOMPARE(help.currentY(), 2925);
    QVERIFY(help.currentY() <= 3240);
}

void TstInfo::helpReshowsWithoutPrintingAgain()
{
    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    setup.Show();
    setup.mnuH->trigger();
    FormHelp *help = &program->form<FormHelp>();
    QVERIFY(help->isVisible());
    setup.mnuH->trigger(); // twice while visible: still one window
    QCOMPARE(&program->form<FormHelp>(), help);
    help->Command1->click();
    QVERIFY(!help->isVisible());
    QVERIFY(program->isLoaded<FormHelp>()); // OK hides, never unloads
    setup.mnuH->trigger();
    QVERIFY(help->isVisible());
    QCOMPARE(texts(help->printedLines()), HelpPage);
}

void TstInfo::helpSystemCloseUnloadsAndReloads()
{
    TestProgram program;
    program->form<FormHelp>().Show();
    QPointer<FormHelp> first = &program->form<FormHelp>();
    first->close();
    QVERIFY(!program->isLoaded<FormHelp>());
    QTRY_VERIFY(first.isNull());
    QCOMPARE(program.endCount, 0);
    FormHelp &second = program->form<FormHelp>();
    second.Show();
    QCOMPARE(texts(second.printedLines()), HelpPage);
}

void TstInfo::helpSurvivesSetupHiding()
{
    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    setup.Show();
    setup.mnuH->trigger();
    FormHelp &help = program->form<FormHelp>();
    QVERIFY(help.parentWidget() == nullptr); // no owner
    setup.RemIP->setText(QStringLiteral("127.0.0.1"));
    setup.PortNum->setText(QString::number(freeLowPort()));
    setup.UserName->setText(QStringLiteral("Ann"));
    setup.Command1->click();
    QVERIFY(!setup.isVisible());
    QVERIFY(help.isVisible());
}

void TstInfo::helpFromChatIsTheSameWindow()
{
    TestProgram program;
    program->form<FormSetup>().mnuH->trigger();
    FormHelp *help = &program->form<FormHelp>();
    help->Command1->click();
    program->form<FormChat>().mnuOH->trigger();
    QCOMPARE(&program->form<FormHelp>(), help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->printedLines().size(), 15);
}

void TstInfo::aboutBlockLinesAndPositions()
{
    TestProgram program;
    FormAbout &about = program->form<FormAbout>();
    const auto &lines = about.printedLines();
    QCOMPARE(lines.size(), 16);
    QCOMPARE(lines[4].text, QStringLiteral("This is CLIENT/SERVER CHAT"));
    QCOMPARE(lines[5].text, QStringLiteral("Using Windows Socket Control."));
    for (int empty : {0, 3, 6, 7, 8, 9, 10, 12})
        QVERIFY2(lines[empty].text.isEmpty(), qPrintable(QString::number(empty + 1)));
    for (int filled : {1, 2, 11, 13, 14, 15})
        QVERIFY2(!lines[filled].text.trimmed().isEmpty(), qPrintable(QString::number(filled + 1)));
    QCOMPARE(lines[11].topTwips, 2145);
    QCOMPARE(about.currentY(), 3120);
    QCOMPARE(about.currentY(), about.Label2->y() * 15); // the block ends where the labels begin
    // The lines beside the picture end left of it.
    const QFontMetrics metrics(about.client()->font());
    for (int i = 0; i < 11; ++i)
        QVERIFY2(metrics.horizontalAdvance(lines[i].text) <= about.Image1->x(), qPrintable(lines[i].text));
}

void TstInfo::aboutContactLabelsDoNotTouch()
{
    TestProgram program;
    FormAbout &about = program->form<FormAbout>();
    about.Show(); // the inked pixels of the contact lines, purple above blue, below the picture
    const QImage image = about.client()->grab().toImage();
    QRect purple, blue; // the ink of each line
    for (int y = about.Image1->geometry().bottom() + 1; y < image.height(); ++y) {
        for (int x = 0; x < about.Command1->x(); ++x) {
            if (const QColor c = image.pixelColor(x, y);
                c.red() > 110 && c.blue() > 110 && c.green() < 90 && qAbs(c.red() - c.blue()) < 40)
                purple |= QRect(x, y, 1, 1);
            else if (c.blue() > 150 && c.red() < 90 && c.green() < 90)
                blue |= QRect(x, y, 1, 1);
        }
    }
    QVERIFY(!purple.isEmpty() && !blue.isEmpty());
    QVERIFY2(!purple.adjusted(-1, -1, 1, 1).intersects(blue), qPrintable(QString::number(blue.top() - purple.bottom())));
}

void TstInfo::aboutPicture()
{
    QCOMPARE(QImageReader::imageFormat(QStringLiteral(":/about.jpg")), QByteArray("jpeg"));
    QImageReader reader(QStringLiteral(":/about.jpg"));
    QCOMPARE(reader.size(), QSize(160, 148));
    const QImage image = reader.read();
    QVERIFY(!image.isNull());
    QVERIFY(!image.isGrayscale());
    QFile file(QStringLiteral(":/about.jpg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(12);
    QVERIFY(head.startsWith("\xFF\xD8\xFF\xE0")); // JFIF
    QCOMPARE(head.mid(6, 4), QByteArray("JFIF"));

    TestProgram program;
    FormAbout &about = program->form<FormAbout>();
    QCOMPARE(about.Image1->geometry(), QRect(160, 8, 136, 132));
    QVERIFY(about.Image1->hasScaledContents());
    QCOMPARE(about.Image1->pixmap().size(), QSize(160, 148));
}

void TstInfo::aboutReshowAndSystemClose()
{
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    chat.mnuOA->trigger();
    FormAbout *about = &program->form<FormAbout>();
    chat.mnuOA->trigger();
    QCOMPARE(&program->form<FormAbout>(), about);
    about->Command1->click();
    QVERIFY(!about->isVisible());
    chat.mnuOA->trigger();
    QVERIFY(about->isVisible());
    QCOMPARE(about->printedLines().size(), 16);
    QPointer<FormAbout> closed = about;
    about->close();
    QTRY_VERIFY(closed.isNull());
    chat.mnuOA->trigger();
    QCOMPARE(program->form<FormAbout>().printedLines().size(), 16);
}

void TstInfo::okAnswersEnterAndEscape_data()
{
    QTest::addColumn<bool>("about");
    QTest::addColumn<int>("key");
    QTest::newRow("help, Enter") << false << int(Qt::Key_Return);
    QTest::newRow("help, Escape") << false << int(Qt::Key_Escape);
    QTest::newRow("about, Enter") << true << int(Qt::Key_Return);
    QTest::newRow("about, Escape") << true << int(Qt::Key_Escape);
}

void TstInfo::okAnswersEnterAndEscape()
{
    QFETCH(bool, about);
    QFETCH(int, key);
    TestProgram program;
    platform::Form *window = about ? static_cast<platform::Form *>(&program->form<FormAbout>())
                                   : &program->form<FormHelp>();
    window->Show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *ok = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    QTRY_COMPARE(QApplication::focusWidget(), ok);
    QTest::keyClick(ok, Qt::Key(key));
    QTRY_VERIFY(!window->isVisible());
    QVERIFY(about ? program->isLoaded<FormAbout>() : program->isLoaded<FormHelp>()); // hidden, not unloaded
}

void TstInfo::windowsAsTheirTables_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("ok");
    QTest::newRow("help") << "help" << "Help Setuping and Chating..." << QSize(293, 256) << QRect(152, 216, 65, 33);
    QTest::newRow("about") << "about" << "About Chat and Me..." << QSize(302, 261) << QRect(240, 224, 57, 33);
}

void TstInfo::windowsAsTheirTables()
{
    QFETCH(QString, form);
    QFETCH(QString, caption);
    QFETCH(QSize, client);
    QFETCH(QRect, ok);
    TestProgram program;
    platform::Form *window = form == u"help" ? static_cast<platform::Form *>(&program->form<FormHelp>())
                                             : &program->form<FormAbout>();
    window->Show();
    QCOMPARE(window->Caption(), caption);
    QCOMPARE(window->client()->size(), client);
    QVERIFY(window->windowFlags() & Qt::Tool);
    QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window->windowIcon().isNull());
    QCOMPARE(window->minimumSize(), window->maximumSize()); // no resizing
    auto *button = window->findChild<QPushButton *>(QStringLiteral("Command1"));
    QCOMPARE(button->text(), QStringLiteral("OK"));
    QCOMPARE(button->geometry(), ok);
    // The OK button is the only control that takes the focus.
    int focusable = 0;
    for (QWidget *child : window->findChildren<QWidget *>())
        focusable += (child->focusPolicy() & Qt::TabFocus) ? 1 : 0;
    QCOMPARE(focusable, 1);
    for (QWidget *child : window->findChildren<QWidget *>())
        QVERIFY(child->toolTip().isEmpty());
}

QTEST_MAIN(TstInfo)
#include "tst_info.moc"
