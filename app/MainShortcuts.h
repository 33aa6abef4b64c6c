#pragma once

class TMainFm;

// The main window's keyboard shortcuts, beside its own keys: Insert or
// Ctrl+N add a disc, F2 edits it and Delete deletes the selected discs
// (these two only while the disc list has the focus, so a text box keeps its
// Delete), Ctrl+F finds, Ctrl+L goes to the quick code box, Ctrl+O opens a
// catalog, F1 ("帮助内容") the user's guide. They belong to the main window: in a dialog they do nothing. The
// tool bar's buttons name their keys in their tool tips.
void InstallMainShortcuts(TMainFm &window);
