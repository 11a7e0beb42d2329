// Reading the conversation from the keyboard: the keys that scroll and copy
// the transcript while the focus stays in the input box, and the focus mark
// of a window that comes back.

#include "support/testing.h"

#include "chat/formchat.h"
#include "transcript/transcriptbox.h"
#include "setup/formsetup.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QtTest>

using platform::TranscriptBox;

class TstReadingKeys : public QObject
{
    Q_OBJECT

private slots:
    void transcriptKeysFromTheInputBox();
    void reconnectShowsWhereTheFocusIs();
};

void TstReadingKeys::transcriptKeysFromTheInputBox()
{
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    chat.Show();
    activate(chat);
    QTRY_COMPARE(QApplication::focusWidget(), chat.MyMsg);
    for (int i = 1; i <= 100; ++i)
        chat.ScreenMsg->appendText(QStringLiteral("\r\nline %1").arg(i));
    chat.ScreenMsg->setSelStart(chat.ScreenMsg->Text().size());
    QTest::keyClicks(chat.MyMsg, QStringLiteral("draft"));
    QScrollBar *bar = chat.ScreenMsg->verticalScrollBar();
    const int end = bar->maximum();
    QVERIFY(end > 2 * bar->pageStep());

    // Each key moves the transcript and leaves the input box as it was.
    const QList<std::pair<QKeyCombination, int>> moves = {
        {Qt::Key_PageUp, end - bar->pageStep()},
        {Qt::Key_PageUp, end - 2 * bar->pageStep()},
        {Qt::Key_PageDown, end - bar->pageStep()},
        {Qt::ControlModifier | Qt::Key_Home, 0},
        {Qt::ControlModifier | Qt::Key_End, end},
    };
    for (const auto &[key, value] : moves) {
        QTest::keyClick(chat.MyMsg, key.key(), key.keyboardModifiers());
        QCOMPARE(bar->value(), value);
        QCOMPARE(chat.MyMsg->text(), QStringLiteral("draft"));
        QCOMPARE(chat.MyMsg->cursorPosition(), 5);
        QCOMPARE(QApplication::focusWidget(), chat.MyMsg);
    }

    // Ctrl+C copies what is selected in the transcript, lines broken by
    // "\n", unless text is selected in the input box.
    const int from = int(chat.ScreenMsg->viewPosition(chat.ScreenMsg->Text().indexOf(QStringLiteral("line 7"))));
    chat.ScreenMsg->setSelection(from, from + 13);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keySequence(chat.MyMsg, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line 7\nline 8"));
    chat.MyMsg->setSelection(0, 3);
    QTest::keySequence(chat.MyMsg, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("dra"));
    QCOMPARE(QApplication::focusWidget(), chat.MyMsg);

    // A selection made with the mouse across a scroll: a click at the start
    // of the first line, Ctrl+End, a Shift+click after the last one.
    chat.MyMsg->deselect();
    TranscriptBox *box = chat.ScreenMsg;
    const auto lineY = [box](const QString &line) {
        return box->cursorRect(int(box->viewPosition(box->Text().indexOf(line)))).center().y();
    };
    QTest::keyClick(chat.MyMsg, Qt::Key_Home, Qt::ControlModifier);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(1, lineY(QStringLiteral("line 1\r"))));
    QTest::keyClick(chat.MyMsg, Qt::Key_End, Qt::ControlModifier);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(box->viewport()->width() - 2, lineY(QStringLiteral("line 100"))));
    QStringList lines;
    for (int i = 1; i <= 100; ++i)
        lines << QStringLiteral("line %1").arg(i);
    QTest::keySequence(chat.MyMsg, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), lines.join(u'\n'));
}

void TstReadingKeys::reconnectShowsWhereTheFocusIs()
{
    TestProgram program;
    FormSetup &setup = program->form<FormSetup>();
    setup.Show();
    activate(setup);
    QTRY_COMPARE(QApplication::focusWidget(), setup.Option1);
    FormChat &chat = program->form<FormChat>();
    chat.Show();
    setup.Hide();
    activate(chat);
    QTest::keyClick(chat.MyMsg, Qt::Key_R, Qt::ControlModifier); // Reconnect
    QTRY_VERIFY(setup.isVisible());
    activate(setup);
    QTRY_COMPARE(QApplication::focusWidget(), setup.Option1);
    // The control is drawn with its focus mark, as after a Tab.
    QStyleOptionButton option;
    option.initFrom(setup.Option1);
    QVERIFY(option.state & QStyle::State_HasFocus);
    QVERIFY(option.state & QStyle::State_KeyboardFocusChange);
}

QTEST_MAIN(TstReadingKeys)
#include "tst_readingkeys.moc"
