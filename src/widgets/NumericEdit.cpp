#include "widgets/NumericEdit.h"

#include "common/ValueForms.h"

#include <QRegularExpressionValidator>

NumericEdit::NumericEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits, the grouping point, the decimal comma, a sign.
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9.]*(,[0-9]*)?")), this));
    setText(m_value.displayText(2, 2));
    connect(this, &QLineEdit::returnPressed, this, &NumericEdit::takeTypedValue);
}

void NumericEdit::setValue(const Decimal& value) {
    m_value = value.rounded(2);
    const QString shown = m_value.displayText(2, 2);
    if (text() != shown)
        setText(shown);
}

void NumericEdit::focusOutEvent(QFocusEvent* event) {
    takeTypedValue();
    QLineEdit::focusOutEvent(event);
}

void NumericEdit::takeTypedValue() {
    if (isReadOnly() || !isModified())
        return;
    setModified(false);
    // An emptied box reads as zero.
    const auto value = text().trimmed().isEmpty() ? std::optional<Decimal>(Decimal())
                                                  : ValueForms::parseDisplayNumber(text());
    if (!value) {
        // Nothing usable typed: the box shows its value again.
        setValue(m_value);
        return;
    }
    setValue(*value);
    emit valueEdited(m_value);
}
