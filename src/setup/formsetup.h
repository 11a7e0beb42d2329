#pragma once

#include "controls/form.h"

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

// The first window: the remote address, the port, the user's name, server
// or client, and Connect.
class FormSetup : public platform::Form
{
    Q_OBJECT

public:
    explicit FormSetup(platform::Program &program);

    QGroupBox *Frame1;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QLabel *Label1;
    QLineEdit *RemIP;
    QLabel *Label2;
    QLineEdit *PortNum;
    QLabel *Label3;
    QLineEdit *UserName;
    QLabel *Label4;
    QPushButton *Command1;
    QFrame *Line1;

    QMenu *mnuC;
    QAction *mnuH;
    QAction *mnuCM;
    QAction *mnuCE;

    // Whether every field passed its check in the current Connect press.
    bool FieldsOk = false;

protected:
    void Form_Load() override;
    void Form_Unload() override;

private:
    // The port in the Port Number field; an Error if it holds none.
    int portNumber() const;
    void Command1_Click();
    void mnuH_Click();
    void mnuCE_Click();
};
