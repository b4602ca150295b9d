#include "widgets/GuardedApplication.h"

#include "widgets/ErrorGuard.h"

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    runGuarded(activeWindow(), [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
