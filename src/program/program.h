#pragma once

#include "program/error.h"
#include "program/messagebox.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <functional>
#include <map>
#include <memory>
#include <typeindex>

namespace platform {

// One running copy of the chat program: its window instances, its message
// boxes, its end, and the one place where unhandled errors go. There are no
// globals, so two Programs can talk to each other inside one test process.
class Program : public QObject
{
    Q_OBJECT

public:
    explicit Program(QObject *parent = nullptr);
    ~Program() override;

    // The one instance of a window class, created and loaded on first reference.
    template <class F>
    F &form()
    {
        const std::type_index key(typeid(F));
        if (QWidget *existing = find(key))
            return static_cast<F &>(*existing);
        auto *created = new F(*this);
        adopt(key, created);
        // The instance is reachable before its Load handler runs, so a Load
        // handler that refers to its own window finds it.
        created->load();
        return *created;
    }

    // Whether the window class has a loaded instance, without creating one.
    template <class F>
    bool isLoaded() const
    {
        return find(std::type_index(typeid(F))) != nullptr;
    }

    // A modal message box; returns when the user has closed it.
    void MsgBox(const QString &prompt, MsgBoxStyle style, const QString &title,
                const QString &detail = {});
    void setMessageBoxService(std::unique_ptr<MessageBoxService> service);

    // How an error that ended a handler is put into words for the user: the
    // windows install their wording, as this layer holds no text of its own.
    struct ErrorWords
    {
        QString title;
        QString prompt;
        QString detail;
    };
    using ErrorWording = std::function<ErrorWords(const Error &)>;
    void setErrorWording(ErrorWording wording) { wording_ = std::move(wording); }

    // Stops the program: every window goes away at once and no further
    // handler runs. Work handed to keepRunningFor() goes on without windows,
    // and the end action runs once the last of it is gone. What "stop" means
    // beyond that is the end action's choice (the real program quits its
    // event loop; a test just records it).
    void End();
    bool hasEnded() const { return ended_; }
    void setEndAction(std::function<void()> action) { endAction_ = std::move(action); }
    // Keeps the program from ending while `work` lives (text still on its
    // way to a peer); whoever owns it bounds its life.
    void keepRunningFor(QObject *work);

    // Runs one handler inside the error boundary: an Error ends the handler
    // and is shown to the user, after which the program goes on.
    void run(const std::function<void()> &handler);
    // The same for a handler of one window: its message boxes stand over it.
    void run(QWidget *window, const std::function<void()> &handler);

    // Called by a window that the system closed and that unloads itself.
    void forget(QWidget *form);

signals:
    void ended();

private:
    QWidget *find(std::type_index key) const;
    void adopt(std::type_index key, QWidget *form);
    void reportUnhandled(const Error &error);
    QWidget *boxOwner() const;
    void finishEnd();

    std::map<std::type_index, QPointer<QWidget>> forms_;
    std::unique_ptr<MessageBoxService> boxes_;
    std::function<void()> endAction_;
    ErrorWording wording_;
    QPointer<QWidget> handlerWindow_; // the window whose handler runs now
    QSet<QObject *> lingering_; // work that holds the end back
    bool ended_ = false;
    bool finished_ = false; // the end action has run
};

} // namespace platform
