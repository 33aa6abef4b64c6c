#pragma once

// The program's start, in its order: the application object first (made by
// main), then the title, the grids' group-panel text, the data module, the
// settings, the date format, the options and the main window; then the
// splash and the message loop.

// Sets the application's title, font and Qt's own texts. Called right
// after the application object is made.
void InitApplication();

// Qt's own dialogs, in Simplified Chinese: its buttons, file choosers and
// the edit menus of text boxes. Loaded once.
void LoadQtTexts();

// The data module, the settings, the options and the main window (created,
// hidden). Errors are shown and start-up goes on.
void CreateMainObjects();

// Frees what CreateMainObjects made, main window first.
void DestroyMainObjects();
