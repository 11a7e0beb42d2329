// What a screen reader gets: each control's name and description and the
// label relations. What it hears over the real bus is tests/atspi.

#include "support/testing.h"

#include "chat/formchat.h"
#include "info/formabout.h"
#include "info/formhelp.h"
#include "transcript/transcriptbox.h"
#include "setup/formsetup.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

QString accessibleText(QObject *object, QAccessible::Text which)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(which) : QStringLiteral("(no interface)");
}

QWidget *windowOf(platform::Program &program, const QString &window)
{
    if (window == QLatin1String("FormSetup"))
        return &program.form<FormSetup>();
    if (window == QLatin1String("FormChat"))
        return &program.form<FormChat>();
    if (window == QLatin1String("FormHelp"))
        return &program.form<FormHelp>();
    return &program.form<FormAbout>();
}

// The controls a user can reach, a screen reader's user included.
QList<QWidget *> reachableControls(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if ((child->focusPolicy() & Qt::TabFocus) && !qobject_cast<QMenuBar *>(child))
            controls << child;
    }
    return controls;
}

} // namespace

class TstAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void namesAndDescriptions_data();
    void namesAndDescriptions();
    void everyReachableControlIsNamed_data();
    void everyReachableControlIsNamed();
    void fieldsAreLabelledByTheirLabels_data();
    void fieldsAreLabelledByTheirLabels();
    void messageBoxIsTextAtEveryLength_data();
    void messageBoxIsTextAtEveryLength();
};

void TstAccessibility::namesAndDescriptions_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    const QString choice = QStringLiteral("Select SERVER or CLIENT");
    QTest::newRow("setup frame") << "FormSetup" << "Frame1" << choice << choice;
    QTest::newRow("setup Server") << "FormSetup" << "Option1" << "Server" << choice;
    QTest::newRow("setup Client") << "FormSetup" << "Option2" << "Client" << choice;
    QTest::newRow("setup address") << "FormSetup" << "RemIP" << "Remote Computer IP:" << "Here Enter Remote IP Address";
    QTest::newRow("setup port") << "FormSetup" << "PortNum" << "Port Number:" << "Here Enter Port Number";
    QTest::newRow("setup name") << "FormSetup" << "UserName" << "Your Name:" << "Here Enter Your Name";
    QTest::newRow("setup Connect") << "FormSetup" << "Command1" << "Connect" << "Press On This Key To Connect";
    QTest::newRow("setup greeting") << "FormSetup" << "Label4" << "Welcome To ZAQ Chat !!!" << "";
    QTest::newRow("chat Send") << "FormChat" << "Command1" << "Send" << "Press On This Key To Send Your Message";
    QTest::newRow("chat transcript") << "FormChat" << "ScreenMsg" << "Chat Room" << "This is Chat Room";
    QTest::newRow("chat input") << "FormChat" << "MyMsg" << "Your Message:" << "Here Enter Your Message";
    // The status line is named by the status it shows, so that a screen reader reads it.
    QTest::newRow("chat status") << "FormChat" << "Status" << "" << "Current Status of Connection";
    QTest::newRow("help OK") << "FormHelp" << "Command1" << "OK" << "";
    QTest::newRow("help version") << "FormHelp" << "Label1" << "ZAQ Chat Version 1.0" << "";
    QTest::newRow("about OK") << "FormAbout" << "Command1" << "OK" << "";
    QTest::newRow("about picture") << "FormAbout" << "Image1" << "ZAQ CHAT picture" << "";
}

void TstAccessibility::namesAndDescriptions()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);
    TestProgram program;
    auto *widget = windowOf(*program, window)->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(accessibleText(widget, QAccessible::Name), name);
    QCOMPARE(accessibleText(widget, QAccessible::Description), description);
}

void TstAccessibility::everyReachableControlIsNamed_data()
{
    QTest::addColumn<QString>("window");
    for (const char *window : {"FormSetup", "FormChat", "FormHelp", "FormAbout"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

void TstAccessibility::everyReachableControlIsNamed()
{
    QFETCH(QString, window);
    TestProgram program;
    QWidget *form = windowOf(*program, window);
    QStringList unnamed;
    for (QWidget *control : reachableControls(form)) {
        if (accessibleText(control, QAccessible::Name).trimmed().isEmpty())
            unnamed << control->objectName();
    }
    // The menus on the bar and their items, as a screen reader walks them.
    if (auto *bar = form->findChild<QMenuBar *>()) {
        QAccessibleInterface *barFace = QAccessible::queryAccessibleInterface(bar);
        QVERIFY(barFace);
        QCOMPARE(barFace->childCount(), bar->actions().size());
        for (int i = 0; i < barFace->childCount(); ++i) {
            if (barFace->child(i)->text(QAccessible::Name).isEmpty())
                unnamed << bar->actions().at(i)->objectName();
            QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(bar->actions().at(i)->menu());
            for (int j = 0; j < menu->childCount(); ++j) {
                QAccessibleInterface *item = menu->child(j);
                if (item->role() != QAccessible::Separator && item->text(QAccessible::Name).isEmpty())
                    unnamed << bar->actions().at(i)->objectName() + QLatin1Char('/') + QString::number(j);
            }
        }
    }
    QCOMPARE(unnamed, QStringList());
    QCOMPARE(accessibleText(form, QAccessible::Name), form->windowTitle());
}

void TstAccessibility::fieldsAreLabelledByTheirLabels_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("label");
    QTest::newRow("address") << "FormSetup" << "RemIP" << "Label1";
    QTest::newRow("port") << "FormSetup" << "PortNum" << "Label2";
    QTest::newRow("name") << "FormSetup" << "UserName" << "Label3";
    QTest::newRow("message") << "FormChat" << "MyMsg" << "Label1";
}

void TstAccessibility::fieldsAreLabelledByTheirLabels()
{
    QFETCH(QString, window);
    QFETCH(QString, field);
    QFETCH(QString, label);
    TestProgram program;
    QWidget *form = windowOf(*program, window);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(form->findChild<QWidget *>(field));
    QVERIFY(iface);
    QStringList labels;
    for (const auto &[other, relation] : iface->relations(QAccessible::Label))
        labels << other->object()->objectName();
    QCOMPARE(labels, QStringList{label});
}

void TstAccessibility::messageBoxIsTextAtEveryLength_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("told"); // characters of it in the text interface
    QTest::newRow("20,000") << 20000 << "Your Message:" << 20000;
    QTest::newRow("65,536") << 65536 << "Your Message:" << 65536;
    QTest::newRow("100,000: its name says how long") << 100000 << "Your Message: 100,000 characters to send" << 0;
}

// Past the length where the box draws a summary, it is still an editable
// text box, never a password field (which Qt makes of a box that echoes
// nothing), and it still answers as text.
void TstAccessibility::messageBoxIsTextAtEveryLength()
{
    QFETCH(int, size);
    QFETCH(QString, name);
    QFETCH(int, told);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TestProgram program;
    FormChat &chat = program->form<FormChat>();
    const QString text = QStringLiteral("caf\u00e9 ").repeated(size / 5 + 1).left(size);
    chat.MyMsg->setText(text);
    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(chat.MyMsg);
    QVERIFY(box);
    QCOMPARE(box->role(), QAccessible::EditableText);
    QVERIFY(!box->state().passwordEdit);
    QVERIFY(box->state().editable);
    QCOMPARE(box->text(QAccessible::Name), name);
    QAccessibleTextInterface *asText = box->textInterface();
    QVERIFY(asText);
    QCOMPARE(asText->characterCount(), told);
    QCOMPARE(asText->text(0, told), text.left(told));
    QCOMPARE(box->text(QAccessible::Value), text.left(told));
    QCOMPARE(box->editableTextInterface() != nullptr, true);
    // Back to a short text: the plain name and the text again.
    chat.MyMsg->setText(QStringLiteral("hi"));
    QCOMPARE(box->text(QAccessible::Name), QStringLiteral("Your Message:"));
    QCOMPARE(asText->text(0, 2), QStringLiteral("hi"));
    QLocale::setDefault(QLocale::c());
}

QTEST_MAIN(TstAccessibility)
#include "tst_accessibility.moc"
