#pragma once

#include <QString>

// The tax agency's check code of an issued invoice as its readable copy shows
// it: the address the QR code holds and the legend printed below it (empty:
// none). An empty address means no QR code.
struct TaxQr {
    QString address;
    QString legend;

    bool isEmpty() const { return address.isEmpty(); }
};
