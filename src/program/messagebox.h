#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace platform {

// The icon of a message box, which tells how serious it is: a failure the
// user must deal with, or a warning about what they typed. The numbers are
// what the box service receives and what tests compare.
enum MsgBoxStyle : int { Critical = 16, Exclamation = 48 };

// Shows modal message boxes. The program holds one; tests install one that
// records the boxes and returns at once.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    // Returns when the user has closed the box. `detail` is an optional
    // second line that says more about the cause.
    virtual void show(const QString &prompt, int style, const QString &title,
                      const QString &detail) = 0;
};

// The real one: a modal QMessageBox with one OK button, transient for and
// centred over the window `owner` names (none: a box of its own).
class QtMessageBoxService : public MessageBoxService
{
public:
    explicit QtMessageBoxService(std::function<QWidget *()> owner = {}) : owner_(std::move(owner)) {}
    void show(const QString &prompt, int style, const QString &title,
              const QString &detail) override;

private:
    std::function<QWidget *()> owner_;
};

} // namespace platform
