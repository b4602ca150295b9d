#pragma once

#include <functional>

class QWidget;

// Runs an event handler; any error it does not catch is shown in the
// application error box and the program goes on. No exception leaves here.
void runGuarded(QWidget* parent, const std::function<void()>& handler);
