#pragma once

#include <QObject>

// The mouse wheel turned over a spin, date or combo box that does not have
// the keyboard focus scrolls the form holding the box instead of changing
// its value: scrolling down the invoice must never move its date or its
// withholding rate. A box with the focus keeps its wheel.
class WheelGuard : public QObject {
    Q_OBJECT
public:
    // Watches every widget of the application while it lives.
    explicit WheelGuard(QObject* parent = nullptr);
    ~WheelGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
