#include "app/InvoiceArea.h"

#include "app/ControlNames.h"
#include "app/FileReferencePanel.h"
#include "app/LineCountTitle.h"
#include "app/LinesGrid.h"
#include "app/PartyPanel.h"
#include "app/PaymentPanel.h"
#include "app/TotalsPanel.h"
#include "invoice/InvoiceRecord.h"
#include "widgets/DialogKit.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// The totals keep a readable width whatever the screen.
constexpr int TotalsWidth = 430;

// Fields of the record that the window never shows: the administrative
// centres and what the last AutoFirma start used.
QWidget* buildHiddenFields() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("Panel4"));
    for (RecordField field : {RecordField::ManagingBodyCode, RecordField::AccountingOfficeCode,
                              RecordField::ProcessingUnitCode, RecordField::ManagingBodyName,
                              RecordField::AccountingOfficeName, RecordField::ProcessingUnitName,
                              RecordField::AutoFirmaFolder, RecordField::AutoFirmaProgram,
                              RecordField::AutoFirmaCommand, RecordField::AutoFirmaFormat,
                              RecordField::AutoFirmaParameters}) {
        auto* edit = new QLineEdit(panel);
        edit->setObjectName(controlName(field));
    }
    panel->hide();
    return panel;
}

} // namespace

QWidget* InvoiceArea::whitePanel(const QString& objectName, QWidget* parent) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(objectName);
    DialogKit::makeWhite(panel);
    return panel;
}

InvoiceArea InvoiceArea::build(InvoiceRecord& record) {
    InvoiceArea a;
    a.widget = whitePanel(QStringLiteral("InvoiceArea"), nullptr);
    auto* column = new QVBoxLayout(a.widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Parties.
    auto* panel2 = whitePanel(QStringLiteral("Panel2"), a.widget);
    panel2->setFixedHeight(210);
    auto* partiesRow = new QHBoxLayout(panel2);
    partiesRow->setContentsMargins(4, 2, 4, 2);
    a.issuer = new PartyPanel(Party::Issuer, panel2);
    a.issuer->setFixedWidth(495);
    a.customer = new PartyPanel(Party::Customer, panel2);
    a.customer->setMinimumWidth(420);
    partiesRow->addWidget(a.issuer);
    partiesRow->addWidget(a.customer, 1);
    column->addWidget(panel2);

    // Lines.
    auto* lines = new QGroupBox(a.widget);
    lines->setObjectName(QStringLiteral("GroupBox4"));
    showLineCount(*lines, record.lines());
    auto* linesColumn = new QVBoxLayout(lines);
    linesColumn->setContentsMargins(4, 2, 4, 4);
    linesColumn->setSpacing(2);
    a.grid = new LinesGrid(record.lines(), lines);
    a.grid->setMinimumHeight(110);
    a.fileReference = new FileReferencePanel(record.lines(), lines);
    linesColumn->addWidget(a.grid, 1);
    linesColumn->addWidget(a.fileReference);
    linesColumn->addWidget(buildHiddenFields());
    auto* linesRow = new QHBoxLayout;
    linesRow->setContentsMargins(4, 0, 4, 0);
    linesRow->addWidget(lines);
    column->addLayout(linesRow, 1);

    // Payment and totals: the totals keep their width, the payment takes
    // what is left.
    auto* panel3 = whitePanel(QStringLiteral("Panel3"), a.widget);
    panel3->setFixedHeight(161);
    auto* paymentRow = new QHBoxLayout(panel3);
    paymentRow->setContentsMargins(4, 2, 4, 2);
    a.payment = new PaymentPanel(panel3);
    a.payment->setMinimumWidth(519);
    a.totals = new TotalsPanel(panel3);
    a.totals->setFixedWidth(TotalsWidth);
    paymentRow->addWidget(a.payment, 1);
    paymentRow->addWidget(a.totals);
    column->addWidget(panel3);
    return a;
}

QList<QWidget*> InvoiceArea::tabOrder() const {
    QList<QWidget*> order = issuer->tabOrder();
    order << customer->tabOrder() << grid << fileReference->tabOrder() << payment->tabOrder()
          << totals->tabOrder();
    return order;
}
