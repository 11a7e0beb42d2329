#pragma once

#include "info/infoform.h"

class QLabel;

// A fixed page of usage notes.
class FormHelp : public InfoForm
{
    Q_OBJECT

public:
    explicit FormHelp(platform::Program &program);

    QLabel *Label1;

protected:
    QStringList page() const override;
};
