#include "program/program.h"

#include <QApplication>
#include <QWidget>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace platform {

Program::Program(QObject *parent)
    : QObject(parent), boxes_(std::make_unique<QtMessageBoxService>([this] { return boxOwner(); }))
{
#ifdef __GLIBC__
    // Buffers of a megabyte and more (a huge pasted line, its bytes on the
    // way out) go back to the system when freed. By default glibc raises this
    // threshold after the first such buffer is freed, and keeps the memory.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

Program::~Program()
{
    finished_ = true; // work destroyed with the program ends nothing more
    for (auto &[key, form] : forms_)
        delete form.data();
}

QWidget *Program::find(std::type_index key) const
{
    auto it = forms_.find(key);
    return it == forms_.end() ? nullptr : it->second.data();
}

void Program::adopt(std::type_index key, QWidget *form)
{
    forms_[key] = form;
}

void Program::forget(QWidget *form)
{
    for (auto it = forms_.begin(); it != forms_.end(); ++it) {
        if (it->second == form) {
            forms_.erase(it);
            return;
        }
    }
}

void Program::MsgBox(const QString &prompt, MsgBoxStyle style, const QString &title,
                     const QString &detail)
{
    boxes_->show(prompt, style, title, detail);
}

void Program::setMessageBoxService(std::unique_ptr<MessageBoxService> service)
{
    boxes_ = std::move(service);
}

void Program::End()
{
    if (ended_)
        return;
    ended_ = true;
    // Windows go at once from the screen; their objects are deleted once the
    // handler that called End has returned.
    for (auto &[key, form] : forms_) {
        if (form) {
            form->hide();
            form->deleteLater();
        }
    }
    forms_.clear();
    emit ended();
    finishEnd();
}

void Program::keepRunningFor(QObject *work)
{
    lingering_.insert(work);
    connect(work, &QObject::destroyed, this, [this, work] {
        lingering_.remove(work);
        finishEnd();
    });
}

void Program::finishEnd()
{
    if (!ended_ || finished_ || !lingering_.isEmpty())
        return;
    finished_ = true;
    if (endAction_)
        endAction_();
}

void Program::run(const std::function<void()> &handler)
{
    if (ended_)
        return;
    try {
        handler();
    } catch (const Error &error) {
        reportUnhandled(error);
    } catch (const std::exception &e) {
        reportUnhandled(Error(err::Unexpected, Operation::Other, QString::fromLocal8Bit(e.what())));
    }
}

void Program::run(QWidget *window, const std::function<void()> &handler)
{
    const QPointer<QWidget> outer = handlerWindow_;
    handlerWindow_ = window;
    run(handler);
    handlerWindow_ = outer;
}

QWidget *Program::boxOwner() const
{
    // The window whose handler raised the box, else the active one, else any
    // window on the screen; never a minimised one, which would hide the box.
    const auto onScreen = [](const QWidget *w) {
        return w && w->isVisible() && !(w->windowState() & Qt::WindowMinimized);
    };
    if (onScreen(handlerWindow_))
        return handlerWindow_;
    QWidget *active = QApplication::activeWindow();
    QWidget *fallback = nullptr;
    for (const auto &[key, form] : forms_) {
        if (onScreen(form) && (form == active || !fallback))
            fallback = form;
    }
    return fallback;
}

void Program::reportUnhandled(const Error &error)
{
    if (ended_)
        return;
    // Without the windows' wording, the facts alone.
    const ErrorWords words = wording_ ? wording_(error)
                                      : ErrorWords{{}, error.reason(), QString::number(error.number())};
    MsgBox(words.prompt, MsgBoxStyle::Critical, words.title, words.detail);
}

} // namespace platform
