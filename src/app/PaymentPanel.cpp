#include "app/PaymentPanel.h"

#include "app/ControlNames.h"
#include "widgets/DateBox.h"
#include "widgets/TypedLengthLimit.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// One part of the account: its caption leads to the first part only, so
// each part says what it is to a screen reader and in its tooltip.
QLineEdit* accountPart(QWidget* parent, const QString& name, int digits, const QString& part) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAccessibleName(QStringLiteral("Cuenta bancaria: %1").arg(part));
    edit->setToolTip(edit->accessibleName());
    new TypedLengthLimit(edit, digits);
    // Wide enough for the digits and a little more.
    edit->setFixedWidth(
        edit->fontMetrics().horizontalAdvance(QString(digits + 1, QLatin1Char('0'))) + 14);
    return edit;
}

} // namespace

QDateEdit* makeDatePicker(QWidget* parent, const QString& objectName, const QString& fieldName) {
    auto* picker = new DateBox(fieldName, parent);
    picker->setObjectName(objectName);
    // Room below 1900: such a typed date is refused with a message on leaving
    // the box rather than in silence, and an empty due date (30/12/1899, the
    // zero day of the date count) still shows as itself.
    picker->setMinimumDate(QDate(1753, 1, 1));
    return picker;
}

PaymentPanel::PaymentPanel(QWidget* parent) : QGroupBox(parent) {
    setObjectName(QStringLiteral("GroupBox5"));
    setTitle(QStringLiteral("Forma de Pago"));

    auto* entity =
        accountPart(this, controlName(RecordField::BankEntity), 4, QStringLiteral("entidad"));
    auto* office =
        accountPart(this, controlName(RecordField::BankOffice), 4, QStringLiteral("oficina"));
    auto* control = accountPart(this, controlName(RecordField::BankControlDigits), 2,
                                QStringLiteral("dígitos de control"));
    auto* account = accountPart(this, controlName(RecordField::BankAccountNumber), 10,
                                QStringLiteral("número de cuenta"));
    m_iban = new QLineEdit(this);
    m_iban->setObjectName(controlName(RecordField::Iban));
    m_iban->setToolTip(QStringLiteral("Se calcula a partir de la cuenta al entrar en la casilla"));
    auto* series = new QLineEdit(this);
    series->setObjectName(controlName(RecordField::InvoiceSeries));
    series->setFixedWidth(56);
    // The caption above leads to the number; the series beside it says what it is.
    series->setAccessibleName(QStringLiteral("Serie de la factura"));
    series->setToolTip(QStringLiteral("Serie"));
    auto* number = new QLineEdit(this);
    number->setObjectName(controlName(RecordField::InvoiceNumber));
    auto* issueDate = makeDatePicker(this, QStringLiteral("FechaFactura"), QStringLiteral("Fecha"));
    auto* dueDate = makeDatePicker(this, QStringLiteral("FechaVencimiento"),
                                   QStringLiteral("Fecha Vencimiento"));
    // Every box has its caption as buddy; the accelerators are kept to the
    // invoice's number and dates and stay clear of the menu bar's letters.
    auto* accountLabel = new QLabel(QStringLiteral("Cuenta Bancaria"), this);
    accountLabel->setBuddy(entity);
    auto* transfer = new QLabel(QStringLiteral("Cobro por Transferencia."), this);
    transfer->setObjectName(QStringLiteral("Label29"));
    auto* numberLabel = new QLabel(QStringLiteral("&Número Factura:"), this);
    numberLabel->setObjectName(QStringLiteral("Label23"));
    numberLabel->setBuddy(number);
    auto* ibanLabel = new QLabel(QStringLiteral("IBAN"), this);
    ibanLabel->setBuddy(m_iban);
    auto* issueDateLabel = new QLabel(QStringLiteral("F&echa"), this);
    issueDateLabel->setBuddy(issueDate);
    auto* dueDateLabel = new QLabel(QStringLiteral("Fecha &Vencimiento"), this);
    dueDateLabel->setBuddy(dueDate);

    issueDate->setFixedWidth(100);
    dueDate->setFixedWidth(100);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 4, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);

    auto* accountRow = new QHBoxLayout;
    accountRow->setSpacing(4);
    for (QLineEdit* part : {entity, office, control, account})
        accountRow->addWidget(part);
    accountRow->addStretch(1);
    auto* numberRow = new QHBoxLayout;
    numberRow->setSpacing(4);
    numberRow->addWidget(series);
    numberRow->addWidget(number, 1);

    // Left: the account and its IBAN; right: which invoice and when.
    grid->addWidget(accountLabel, 0, 0);
    grid->addLayout(accountRow, 1, 0);
    grid->addWidget(ibanLabel, 2, 0);
    grid->addWidget(m_iban, 3, 0);
    grid->addWidget(transfer, 4, 0);
    grid->addWidget(numberLabel, 0, 1, 1, 2);
    grid->addLayout(numberRow, 1, 1, 1, 2);
    grid->addWidget(issueDateLabel, 2, 1);
    grid->addWidget(issueDate, 2, 2);
    grid->addWidget(dueDateLabel, 3, 1);
    grid->addWidget(dueDate, 3, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(0, 236);
    grid->setRowStretch(5, 1);

    m_tabOrder = {entity, office, control, account, m_iban, series, number, issueDate, dueDate};
}
