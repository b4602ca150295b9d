#include "widgets/NumericEdit.h"

#include "common/FieldRounding.h"
#include "common/ValueForms.h"

#include <QRegularExpressionValidator>
#include <optional>

NumericEdit::NumericEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Digits, the grouping point, the decimal comma, a sign.
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9.]*(,[0-9]*)?")), this));
    setText(FieldRounding::displayText(0));
    connect(this, &QLineEdit::returnPressed, this, &NumericEdit::takeTypedValue);
}

void NumericEdit::setCents(qint64 cents) {
    m_cents = cents;
    const QString shown = FieldRounding::displayText(cents);
    if (text() != shown)
        setText(shown);
}

void NumericEdit::focusOutEvent(QFocusEvent* event) {
    takeTypedValue();
    QLineEdit::focusOutEvent(event);
}

void NumericEdit::takeTypedValue() {
    if (!isModified())
        return;
    setModified(false);
    // An emptied box reads as zero.
    const auto value = text().trimmed().isEmpty() ? std::optional<long double>(0)
                                                  : ValueForms::parseDisplayNumber(text());
    if (!value) {
        // Nothing usable typed: the box shows its value again.
        setCents(m_cents);
        return;
    }
    const qint64 typed = FieldRounding::toCents(*value);
    setCents(typed);
    emit centsEdited(typed);
}
