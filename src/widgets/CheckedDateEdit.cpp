#include "widgets/CheckedDateEdit.h"

#include "widgets/Prompts.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScopedValueRollback>

CheckedDateEdit::CheckedDateEdit(QWidget* parent) : QDateEdit(parent) {
    m_before = date();
}

bool CheckedDateEdit::isImpossibleDate(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4})\\s*$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    return !QDate(match.captured(3).toInt(), match.captured(2).toInt(), match.captured(1).toInt())
                .isValid();
}

QValidator::State CheckedDateEdit::validate(QString& input, int& pos) const {
    // Not acceptable, so it is never taken as a date; not invalid, so the
    // person can still correct the day or the month.
    if (isImpossibleDate(input))
        return QValidator::Intermediate;
    return QDateEdit::validate(input, pos);
}

void CheckedDateEdit::fixup(QString& input) const {
    // The base would move the day into the month; the refusal happens instead.
    if (isImpossibleDate(input))
        return;
    QDateEdit::fixup(input);
}

bool CheckedDateEdit::acceptTyped() {
    const QString typed = lineEdit()->text();
    if (m_telling || !isImpossibleDate(typed))
        return true;
    const QScopedValueRollback telling(m_telling, true);
    setDate(m_before);
    lineEdit()->setText(textFromDateTime(QDateTime(m_before, QTime())));
    Prompts::instance().warn(this, QStringLiteral("Fecha incorrecta"),
                             QStringLiteral("La fecha %1 no existe. Se mantiene %2.")
                                 .arg(typed.trimmed(), m_before.toString(displayFormat())));
    return false;
}

void CheckedDateEdit::focusInEvent(QFocusEvent* event) {
    if (!m_telling)
        m_before = date();
    QDateEdit::focusInEvent(event);
}

void CheckedDateEdit::focusOutEvent(QFocusEvent* event) {
    acceptTyped();
    QDateEdit::focusOutEvent(event);
}

void CheckedDateEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!acceptTyped()) {
            event->accept();
            return;
        }
        QDateEdit::keyPressEvent(event);
        m_before = date();
        return;
    }
    QDateEdit::keyPressEvent(event);
}
