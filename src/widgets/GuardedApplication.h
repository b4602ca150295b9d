#pragma once

#include <QApplication>

// The last safety net: an error that escapes an event handler is shown in
// the application error box instead of ending the program. Handlers guard
// themselves (runGuarded); this catches what a widget's own code lets out.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
