// The message box on both sides of the length where it stops drawing its
// text: the editing keys act on the text, the clipboard gets its exact
// characters, Undo takes back whole pastes and cuts. (How long such edits
// take is bench/bench_paste.)

#include "controls/longtextbox.h"

#include <QApplication>
#include <QClipboard>
#include <QtTest>

using platform::LongTextBox;

namespace {

// `size` characters ending in an ASCII letter, with accents, a pair and
// right-to-left letters on the way, so that copying "the exact characters"
// means something.
QString textOf(qsizetype size)
{
    const QString piece = QStringLiteral("ab\u00e9 \U0001F600\u05e9z");
    QString text = piece.repeated(size / piece.size() + 1);
    text.truncate(size - 1);
    if (text.back().isHighSurrogate())
        text.back() = u'x';
    return text + u'q';
}

struct Box
{
    QWidget window;
    LongTextBox *box = new LongTextBox(&window, [](qsizetype n) { return QStringLiteral("%1 to send").arg(n); });

    Box()
    {
        window.resize(300, 40);
        box->setGeometry(0, 0, 300, 30);
        window.show();
        box->setFocus();
    }
    void keys(QKeySequence::StandardKey key)
    {
        const QKeySequence sequence(key);
        QTest::keySequence(box, sequence);
    }
};

} // namespace

class TstLongTextBox : public QObject
{
    Q_OBJECT

private slots:
    void keysActOnTheText_data();
    void keysActOnTheText();
    void wordKeysWhileLong();
};

void TstLongTextBox::keysActOnTheText_data()
{
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<bool>("summary");
    QTest::newRow("20,000") << qsizetype(20000) << false;
    QTest::newRow("65,536, the last it shows") << qsizetype(65536) << false;
    QTest::newRow("65,537") << qsizetype(65537) << true;
    QTest::newRow("1,000,000") << qsizetype(1000000) << true;
}

void TstLongTextBox::keysActOnTheText()
{
    QFETCH(qsizetype, size);
    QFETCH(bool, summary);
    const QString text = textOf(size);
    QCOMPARE(text.size(), size);
    Box b;
    QClipboard *clipboard = QApplication::clipboard();

    // Pasted over what was typed; Undo takes the whole paste back.
    QTest::keyClicks(b.box, QStringLiteral("hi"));
    clipboard->setText(text);
    b.keys(QKeySequence::SelectAll);
    b.keys(QKeySequence::Paste);
    QCOMPARE(b.box->text(), text);
    QCOMPARE(b.box->isLong(), summary);
    QCOMPARE(b.box->echoMode() == QLineEdit::Normal, !summary);
    // Drawn or not, input methods see a plain text box, not a password.
    QVERIFY(!(b.box->inputMethodHints() & (Qt::ImhHiddenText | Qt::ImhSensitiveData)));
    QVERIFY(b.box->testAttribute(Qt::WA_InputMethodEnabled));
    b.keys(QKeySequence::Undo);
    QCOMPARE(b.box->text(), QStringLiteral("hi"));
    QVERIFY(!b.box->isLong());
    b.keys(QKeySequence::SelectAll);
    b.keys(QKeySequence::Paste);
    QCOMPARE(b.box->text(), text);

    // Select all and copy: the exact characters.
    clipboard->setText(QStringLiteral("before"));
    b.keys(QKeySequence::SelectAll);
    b.keys(QKeySequence::Copy);
    QCOMPARE(clipboard->text(), text);
    QCOMPARE(b.box->text(), text);

    // Cut: the clipboard has them, the box is empty, Undo brings them back.
    clipboard->setText(QStringLiteral("before"));
    b.keys(QKeySequence::Cut);
    QCOMPARE(clipboard->text(), text);
    QCOMPARE(b.box->text(), QString());
    QVERIFY(!b.box->isLong());
    b.keys(QKeySequence::Undo);
    QCOMPARE(b.box->text(), text);
    QCOMPARE(b.box->isLong(), summary);

    // Backspace at the end takes one character; over the selection, all.
    b.box->end(false);
    QTest::keyClick(b.box, Qt::Key_Backspace);
    QCOMPARE(b.box->text(), text.chopped(1));
    QCOMPARE(b.box->isLong(), size - 1 > LongTextBox::ShowChars);
    QTest::keyClick(b.box, Qt::Key_Q);
    QCOMPARE(b.box->text(), text);
    b.keys(QKeySequence::SelectAll);
    QTest::keyClick(b.box, Qt::Key_Backspace);
    QCOMPARE(b.box->text(), QString());
    b.keys(QKeySequence::Undo);
    QCOMPARE(b.box->text(), text);

    // A text set from outside (Send empties the box) leaves nothing to undo.
    b.box->setText(QString());
    b.keys(QKeySequence::Undo);
    QCOMPARE(b.box->text(), QString());
}

// With no layout to find words in, the word deletions are the box's own:
// they take what the same keys take from a short text.
void TstLongTextBox::wordKeysWhileLong()
{
    const QString tail = QStringLiteral("one two  three");
    const QString head = QString(70000, u'x') + u' ';
    Box b;
    b.box->setText(head + tail);
    QVERIFY(b.box->isLong());
    b.box->end(false);
    QTest::keyClick(b.box, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(b.box->text(), head + QStringLiteral("one two  "));
    QTest::keyClick(b.box, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(b.box->text(), head + QStringLiteral("one "));
    b.box->setCursorPosition(int(head.size()));
    QTest::keyClick(b.box, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(b.box->text(), head);
    b.keys(QKeySequence::Undo);
    QCOMPARE(b.box->text(), head + QStringLiteral("one "));
}

QTEST_MAIN(TstLongTextBox)
#include "tst_longtextbox.moc"
