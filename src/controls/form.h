#pragma once

#include "program/program.h"
#include "controls/surface.h"
#include "controls/twips.h"

#include <QList>
#include <QWidget>

class QMenuBar;
class QMenu;
class QAction;
class QVBoxLayout;

namespace platform {

// Base of the program's windows: fixed client size in twips, fixed border,
// centred on first show, optional menu bar, retained printing, and handlers
// wired through the program's error boundary.
class Form : public QWidget
{
    Q_OBJECT

public:
    enum class Border { FixedSingle, FixedToolWindow };

    explicit Form(Program &program, Border border = Border::FixedSingle);

    Program &program() const { return program_; }

    QString Caption() const { return windowTitle(); }
    void setCaption(const QString &caption) { setWindowTitle(caption); }

    // Makes the window visible, modeless and without an owner, restored if
    // it was minimised, raised and active; its frame centred the first time.
    void Show();
    void Hide() { hide(); }
    // Asks the desktop to draw the user's attention to the window (its
    // urgency hint, a flashing task-bar button) unless it is active.
    void Alert();

    // Writes one line at the print position and moves it to the next line.
    void Print(const QString &text) { surface_->print(text); }
    const QList<Surface::PrintedLine> &printedLines() const { return surface_->printedLines(); }
    int currentY() const { return surface_->currentY(); }
    int lineHeightTwips() const { return surface_->lineHeightTwips(); }

    QWidget *client() const { return surface_; }

    // Runs the Load handler; called once by Program when the instance is created.
    void load();

protected:
    virtual void Form_Load() {}
    // The system closed the window; it unloads afterwards unless the handler
    // ended the program.
    virtual void Form_Unload() {}

    void setClientSize(int widthTwips, int heightTwips);
    // Places a control on the client area (or inside a container) in twips.
    template <class W>
    W *place(W *control, int left, int top, int width, int height)
    {
        control->setGeometry(px(left), px(top), px(width), px(height));
        return control;
    }
    QMenuBar *menuBar();
    QMenu *addMenu(const QString &name, const QString &caption);
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption);
    QAction *addSeparator(QMenu *menu, const QString &name);
    void setIconFromResources();
    // The focus order of the controls, lowest tab index first.
    void setTabOrder(const QList<QWidget *> &controls);

    // Connects a signal to a handler of this window through the error boundary.
    template <class Sender, class Signal, class F, class... Args>
    void wire(Sender *sender, Signal signal, void (F::*handler)(Args...))
    {
        F *self = static_cast<F *>(this);
        QObject::connect(sender, signal, this, [self, handler](Args... args) {
            self->program().run(self, [&] { (self->*handler)(args...); });
        });
    }

    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:

    Program &program_;
    Surface *surface_;
    QVBoxLayout *layout_;
    QMenuBar *menuBar_ = nullptr;
    QList<QWidget *> tabOrder_;
    Border border_;
    bool shownBefore_ = false;
    bool iconSizesLeft_ = false; // the icon's large sizes wait for the first paint
    bool painted_ = false;
    bool urgent_ = false; // the urgency hint is set and the window not yet visited
};

} // namespace platform
