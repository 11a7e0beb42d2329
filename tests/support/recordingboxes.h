#pragma once

#include "program/messagebox.h"

#include <QList>
#include <QString>

// Keeps every message box the program shows instead of showing it.
class RecordingBoxes : public platform::MessageBoxService
{
public:
    struct Box
    {
        QString prompt;
        int style;
        QString title;
        QString detail;
    };

    explicit RecordingBoxes(QList<Box> *boxes) : boxes_(boxes) {}
    void show(const QString &prompt, int style, const QString &title, const QString &detail) override;

private:
    QList<Box> *boxes_;
};
