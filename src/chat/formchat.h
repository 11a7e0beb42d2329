#pragma once

#include "controls/form.h"
#include "controls/statuslabel.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace platform {
class Announcer;
class Composition;
class TranscriptBox;
class Winsock;
} // namespace platform

// The conversation window: the transcript, the input box, Send, the status
// line, the menus, and the one connection.
class FormChat : public platform::Form
{
    Q_OBJECT

public:
    explicit FormChat(platform::Program &program);

    // The most characters the transcript keeps; older lines are dropped
    // from its start, so a flood cannot exhaust memory.
    static constexpr qsizetype TranscriptBound = qsizetype(4) * 1024 * 1024;

    QPushButton *Command1;
    platform::StatusLabel *Status;
    QLabel *Label1;
    platform::TranscriptBox *ScreenMsg;
    QLineEdit *MyMsg;
    QLabel *Welcome;
    platform::Winsock *Winsock;
    QFrame *Line1;

    QMenu *mnuChat;
    QAction *mnuCR;
    QAction *mnuCD;
    QAction *mnuCM;
    QAction *mnuCE;
    QMenu *mnuO;
    QAction *mnuOH;
    QAction *mnuOA;

    // The last line composed by Send, and the text of the last arrival.
    QString MsgLine;
    QString InData;

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    // The caption before Connect adds the side this copy takes.
    static QString baseCaption();
    void Status_Change(const QString &status);
    void Command1_Click();
    void Winsock_Connect();
    void Winsock_ConnectionRequest(qint32 requestID);
    void Winsock_DataArrival(qint32 bytesTotal);
    // Once per frame: the end in view, what arrived spoken, the call for attention.
    void ScreenMsg_ArrivalsShown(const QString &arrived);
    void Winsock_Close();
    void Winsock_Error(qint32 number, const QString &description);
    void Winsock_Undelivered(qint64 characters, qint32 lines);
    // The box that says how much of what was sent may not have arrived.
    static void tellUndelivered(platform::Program &program, qint64 characters, qint32 lines);
    // Once the program has ended: what is still on its way to the peer goes
    // on without the windows, and the program ends when it is over.
    void deliverAfterEnd();
    void mnuCR_Click();
    void mnuCD_Click();
    void mnuCE_Click();
    void mnuOH_Click();
    void mnuOA_Click();

    platform::Announcer *announcer_;
    platform::Composition *composition_;
};
