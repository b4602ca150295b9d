#pragma once

#include <QList>

class FileReferencePanel;
class InvoiceRecord;
class LinesGrid;
class PartyPanel;
class PaymentPanel;
class QWidget;
class TotalsPanel;

// The invoice as the main window lays it out: the two parties side by side,
// the lines with the file reference of the current line, then payment and
// totals. The panels show the record; the window wires them.
struct InvoiceArea {
    QWidget* widget = nullptr; // the whole area, to go into the window's scroll area
    PartyPanel* issuer = nullptr;
    PartyPanel* customer = nullptr;
    LinesGrid* grid = nullptr;
    FileReferencePanel* fileReference = nullptr;
    PaymentPanel* payment = nullptr;
    TotalsPanel* totals = nullptr;

    static InvoiceArea build(InvoiceRecord& record);

    // The order Tab follows through the invoice, top to bottom.
    QList<QWidget*> tabOrder() const;

    // A white panel, as every part of the window is.
    static QWidget* whitePanel(const QString& objectName, QWidget* parent);
};
