#pragma once

#include "info/infoform.h"

class QLabel;

// A short page about the program: a picture, a printed block, two labels.
class FormAbout : public InfoForm
{
    Q_OBJECT

public:
    explicit FormAbout(platform::Program &program);

    QLabel *Label2;
    QLabel *Label1;
    QLabel *Image1;

protected:
    QStringList page() const override;
};
