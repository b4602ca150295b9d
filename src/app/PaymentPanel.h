#pragma once

#include <QGroupBox>

class QDateEdit;
class QLineEdit;

// "Forma de Pago": the issuer's bank account with its IBAN, the invoice series
// and number, and the two dates.
class PaymentPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PaymentPanel(QWidget* parent = nullptr);

    QLineEdit* ibanEdit() const { return m_iban; }
    QList<QWidget*> tabOrder() const { return m_tabOrder; }

private:
    QLineEdit* m_iban = nullptr;
    QList<QWidget*> m_tabOrder;
};

// A date picker in the form dd/MM/yyyy with a calendar; fieldName names it
// when a typed date is refused.
QDateEdit* makeDatePicker(QWidget* parent, const QString& objectName, const QString& fieldName);
