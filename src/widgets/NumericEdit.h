#pragma once

#include "common/Decimal.h"

#include <QLineEdit>

// A number box in the Spanish form "1.234,50": it shows its value with two
// decimals and reads back exactly what it shows. Typing takes a decimal comma;
// the typed value is taken when the box is left or Enter is pressed. A
// read-only box only shows what the program sets (it can still be selected
// and copied).
class NumericEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NumericEdit(QWidget* parent = nullptr);

    const Decimal& value() const { return m_value; }
    // Shows a value set by the program, rounded to cents; emits nothing.
    void setValue(const Decimal& value);

signals:
    // The person typed a value and left the box.
    void valueEdited(const Decimal& value);

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void takeTypedValue();

    Decimal m_value;
};
