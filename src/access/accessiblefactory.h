#pragma once

namespace platform {

// Gives the program's own kinds of window and control what a screen reader
// needs beyond Qt's defaults: windows the role of a frame (dialog for the
// tool windows), printed lines as text, the transcript's text with "\n"
// line breaks, the message box its text (never a password field), and the
// notification object its role. Safe to call more than once; the windows
// call it when they are made.
void installAccessibleFactory();

} // namespace platform
