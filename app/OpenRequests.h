#pragma once

#include <QString>

class TMainFm;

// A request a later start handed over: brings the main window to the front
// and opens file there (when not empty). Before the main window is on the
// screen, file takes the place of the catalog named on the command line.
// While a dialog is open, the open dialog is answered with the file (it
// closes, and the window opens the file in its place); any other dialog
// comes to the front and the file opens once it is closed. While a command
// waits in a loop of its own (TCommandHold), the file opens after it.
void HandleOpenRequest(TMainFm &window, const QString &file);
