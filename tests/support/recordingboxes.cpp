#include "support/recordingboxes.h"

void RecordingBoxes::show(const QString &prompt, int style, const QString &title, const QString &detail)
{
    boxes_->append({prompt, style, title, detail});
}
