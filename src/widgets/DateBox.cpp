#include "widgets/DateBox.h"

#include "widgets/Prompts.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTimer>

namespace {

const QString Format = QStringLiteral("dd/MM/yyyy");
} // namespace

DateBox::DateBox(const QString& fieldName, QWidget* parent)
    : QDateEdit(parent), m_fieldName(fieldName) {
    setDisplayFormat(Format);
    setCalendarPopup(true);
    m_dateBefore = date();
}

QString DateBox::impossibleDateMessage(const QString& text) {
    static const QRegularExpression whole(QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{4})$"));
    const QRegularExpressionMatch m = whole.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const int day = m.captured(1).toInt();
    const int month = m.captured(2).toInt();
    const int year = m.captured(3).toInt();
    if (day < 1 || day > 31 || month < 1 || month > 12 || QDate::isValid(year, month, day))
        return {};
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    return QStringLiteral("La fecha %1 no existe: %2 de %3 tiene %4 días.")
        .arg(text.trimmed(), spanish.monthName(month), QString::number(year),
             QString::number(QDate(year, month, 1).daysInMonth()));
}

QValidator::State DateBox::validate(QString& input, int& pos) const {
    // QDateEdit moves a day from 29 to 31 back into a month too short for it
    // (31/02 becomes 28/02), even before the year is typed that may make it
    // right (29/02/2028). Such a text is left as typed; QDateEdit still reads
    // it, with day 01 in its place, so that typing goes on as usual.
    static const QRegularExpression parts(QStringLiteral("^(\\d\\d)/(\\d\\d?)/(\\d{0,4})$"));
    const QRegularExpressionMatch m = parts.match(input);
    const int day = m.hasMatch() ? m.captured(1).toInt() : 0;
    const int month = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (day < 29 || day > 31 || month < 1 || month > 12 ||
        (m.capturedLength(3) == 4 && QDate::isValid(m.captured(3).toInt(), month, day)))
        return QDateEdit::validate(input, pos);
    QString fitting = input;
    fitting.replace(0, 2, QStringLiteral("01"));
    const QValidator::State state = QDateEdit::validate(fitting, pos);
    return state == QValidator::Acceptable ? QValidator::Intermediate : state;
}

void DateBox::fixup(QString& input) const {
    if (impossibleDateMessage(input).isEmpty())
        QDateEdit::fixup(input);
}

void DateBox::focusInEvent(QFocusEvent* event) {
    // Coming back to a date still being typed keeps the one to go back to.
    if (!typingImpossibleDate())
        m_dateBefore = date();
    QDateEdit::focusInEvent(event);
}

void DateBox::focusOutEvent(QFocusEvent* event) {
    // A menu, the calendar or another window is not leaving the box: the
    // typed text stays for when the person comes back.
    const bool away =
        event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason;
    if (away && typingImpossibleDate()) {
        QWidget::focusOutEvent(event);
        return;
    }
    refuseImpossibleDate();
    QDateEdit::focusOutEvent(event);
}

void DateBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (typingImpossibleDate()) {
        if (enter) {
            refuseImpossibleDate();
            return;
        }
        // QDateEdit would put a date that fits back before moving between the
        // day, month and year; Tab out of the box refuses the date.
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
            const bool forward = key == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
            const Section now = currentSection();
            if (forward && now != YearSection)
                selectPart(now == DaySection ? MonthSection : YearSection);
            else if (!forward && now != DaySection)
                selectPart(now == YearSection ? MonthSection : DaySection);
            else
                refuseImpossibleDate();
            return;
        }
    }
    QDateEdit::keyPressEvent(event);
    if (enter)
        m_dateBefore = date();
    // A full day or month moves on to the next part, as it does when the
    // date exists.
    if (typingImpossibleDate() && !event->text().isEmpty() && event->text().at(0).isDigit()) {
        const int at = lineEdit()->cursorPosition();
        if (currentSection() == DaySection && at == 2)
            selectPart(MonthSection);
        else if (currentSection() == MonthSection && at == 5)
            selectPart(YearSection);
    }
}

// Selects a part of the text as setSelectedSection does, without letting
// QDateEdit read the text first (it would put back the date it holds).
void DateBox::selectPart(Section part) {
    const int start = part == DaySection ? 0 : part == MonthSection ? 3 : 6;
    lineEdit()->setSelection(start, part == YearSection ? 4 : 2);
}

bool DateBox::typingImpossibleDate() const {
    return !impossibleDateMessage(lineEdit()->text()).isEmpty();
}

bool DateBox::refuseImpossibleDate() {
    const QString problem = impossibleDateMessage(lineEdit()->text());
    if (problem.isEmpty())
        return false;
    const QDate before = m_dateBefore;
    setDate(before);
    const QString text =
        QStringLiteral("%1 Se ha dejado en «%2» la fecha que tenía, %3; escriba una fecha que "
                       "exista.")
            .arg(problem, m_fieldName, before.toString(Format));
    // Told once the focus has settled: a dialog opened while the focus moves
    // would pull it back and forth.
    QTimer::singleShot(0, this, [this, text] {
        Prompts::instance().warn(this, QStringLiteral("Fecha no válida"), text);
        // Back in the box, on the day, to write it right.
        setFocus(Qt::OtherFocusReason);
        setSelectedSection(QDateTimeEdit::DaySection);
    });
    return true;
}
