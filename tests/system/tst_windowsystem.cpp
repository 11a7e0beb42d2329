// Which window system the program asks Qt for, from the session's environment.

#include "system/windowsystem.h"

#include <QProcessEnvironment>
#include <QtTest>

class TstWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void xwaylandIsPreferredInAWaylandSession_data();
    void xwaylandIsPreferredInAWaylandSession();
};

void TstWindowSystem::xwaylandIsPreferredInAWaylandSession_data()
{
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QByteArray>("chosen");
    QTest::newRow("wayland with xwayland") << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << QByteArray("xcb");
    QTest::newRow("wayland session type") << QStringList{"XDG_SESSION_TYPE=wayland", "DISPLAY=:1"} << QByteArray("xcb");
    QTest::newRow("wayland only") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << QByteArray();
    QTest::newRow("x11 session") << QStringList{"XDG_SESSION_TYPE=x11", "DISPLAY=:0"} << QByteArray();
    QTest::newRow("user's choice stands")
        << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"} << QByteArray();
    QTest::newRow("nothing") << QStringList{} << QByteArray();
}

void TstWindowSystem::xwaylandIsPreferredInAWaylandSession()
{
    QFETCH(QStringList, variables);
    QFETCH(QByteArray, chosen);
    QProcessEnvironment environment;
    for (const QString &variable : variables)
        environment.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    QCOMPARE(platform::preferredWindowSystem(environment), chosen);
}

QTEST_GUILESS_MAIN(TstWindowSystem)
#include "tst_windowsystem.moc"
