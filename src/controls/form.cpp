#include "controls/form.h"

#include "system/desktop.h"
#include "system/fonts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace platform {

Form::Form(Program &program, Border border)
    : QWidget(nullptr), program_(program), surface_(new Surface(this)), layout_(new QVBoxLayout(this)),
      border_(border)
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                            | Qt::WindowCloseButtonHint;
    if (border == Border::FixedToolWindow)
        flags |= Qt::Tool;
    else
        flags |= Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    // A narrow 8-point sans serif, which the windows' layout in twips is
    // measured for; installFontSubstitutes() maps it to an installed family.
    setFont(QFont(installedFamily(QStringLiteral("MS Sans Serif")), 8));
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    layout_->addWidget(surface_);
}

void Form::load()
{
    program_.run([this] { Form_Load(); });
}

void Form::setClientSize(int widthTwips, int heightTwips)
{
    surface_->setFixedSize(px(widthTwips), px(heightTwips));
}

QMenuBar *Form::menuBar()
{
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        // One bar inside the window on every platform, as the windows are laid out for it.
        menuBar_->setNativeMenuBar(false);
        layout_->setMenuBar(menuBar_);
    }
    return menuBar_;
}

QMenu *Form::addMenu(const QString &name, const QString &caption)
{
    QMenu *menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    return menu;
}

QAction *Form::addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

QAction *Form::addSeparator(QMenu *menu, const QString &name)
{
    QAction *separator = menu->addSeparator();
    separator->setObjectName(name);
    return separator;
}

namespace {

QIcon iconOfSizes(std::initializer_list<int> sizes)
{
    QIcon icon;
    for (int size : sizes)
        icon.addFile(QStringLiteral(":/icon/zaqchat-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

void Form::setIconFromResources()
{
    // The title bar's and the task bar's sizes now; the window system takes
    // every size of an icon at once, and decoding the large ones would hold
    // up the first paint.
    setWindowIcon(iconOfSizes({16, 32}));
    iconSizesLeft_ = true;
}

bool Form::event(QEvent *event)
{
    if (event->type() == QEvent::Paint && !painted_) {
        painted_ = true;
        // Text from a peer comes after a window is up: until then the
        // search for what the fonts can show would only slow the start.
        startFontCoverage();
    }
    if (event->type() == QEvent::Paint && iconSizesLeft_) {
        iconSizesLeft_ = false;
        // Every size, so switchers and docks of any scale find a sharp one
        // instead of stretching a small one.
        QTimer::singleShot(0, this, [this] { setWindowIcon(iconOfSizes({16, 32, 48, 64, 128, 256})); });
    }
    return QWidget::event(event);
}

void Form::setTabOrder(const QList<QWidget *> &controls)
{
    // Labels and frames keep their place in the list but take no focus.
    tabOrder_.clear();
    for (QWidget *control : controls) {
        if (control->focusPolicy() & Qt::TabFocus)
            tabOrder_.append(control);
    }
    for (qsizetype i = 1; i < tabOrder_.size(); ++i)
        QWidget::setTabOrder(tabOrder_[i - 1], tabOrder_[i]);
}

void Form::Show()
{
    const bool again = shownBefore_;
    // A tool window (help, about) keeps out of the task bar.
    if (border_ == Border::FixedToolWindow)
        keepOutOfTaskBar(this);
    if (!shownBefore_) {
        shownBefore_ = true;
        adjustSize();
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            centreFrame(this, screen->availableGeometry());
    }
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    // A window that comes back (Reconnect, Help again) shows where the focus
    // is, as after a Tab: its user is at the keyboard or has lost the place.
    if (again)
        setAttribute(Qt::WA_KeyboardFocusChange);
}

void Form::Alert()
{
    if (isActiveWindow() || urgent_)
        return; // the window is already asking for attention
    QApplication::alert(this);
    setUrgencyHint(this, true);
    urgent_ = true;
}

void Form::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The user has come to the window: the call for attention has done its work.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        setUrgencyHint(this, false);
        urgent_ = false;
    }
}

void Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The first control in tab order that can take the focus gets it.
    if (focusWidget())
        return;
    for (QWidget *control : tabOrder_) {
        if (control->isEnabled() && control->isVisible() && control->focusPolicy() & Qt::TabFocus) {
            control->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void Form::closeEvent(QCloseEvent *event)
{
    event->accept();
    program_.run([this] { Form_Unload(); });
    if (program_.hasEnded())
        return;
    // A window closed by the system unloads; the next reference loads it afresh.
    program_.forget(this);
    deleteLater();
}

} // namespace platform
