#pragma once

#include "app/WindowPlace.h"

#include <optional>

class QWidget;

// Shows the main window where it was when the program last closed, when that
// place lies on a screen present now; otherwise maximized, as at the first
// start.
void ShowMainWindow(QWidget &window, const std::optional<TWindowPlace> &place);

// The window's place, as ShowMainWindow takes it.
TWindowPlace WindowPlaceOf(const QWidget &window);
