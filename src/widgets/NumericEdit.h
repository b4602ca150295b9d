#pragma once

#include <QLineEdit>

// A number box in the Spanish form "1.234,50": it shows its value with two
// decimals and reads back exactly what it shows. Typing takes a decimal comma;
// the typed value is taken when the box is left or Enter is pressed.
class NumericEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NumericEdit(QWidget* parent = nullptr);

    qint64 cents() const { return m_cents; }
    // Shows a value set by the program; emits nothing.
    void setCents(qint64 cents);

signals:
    // The person typed a value and left the box.
    void centsEdited(qint64 cents);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void takeTypedValue();

    qint64 m_cents = 0;
};
