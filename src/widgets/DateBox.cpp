#include "widgets/DateBox.h"

#include "common/ValueForms.h"
#include "widgets/Prompts.h"

#include <QApplication>
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
    : QDateEdit(parent), m_fieldName(fieldName), m_clock([] { return QDate::currentDate(); }) {
    setDisplayFormat(Format);
    setCalendarPopup(true);
    m_dateBefore = date();
    // A date the program shows is where the person's typing starts from.
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!personChanging())
            m_dateBefore = date();
    });
}

bool DateBox::personChanging() const {
    // Typing in the box, or picking in its calendar.
    const QWidget* popup = QApplication::activePopupWidget();
    return hasFocus() || (popup && popup->parentWidget() == this);
}

void DateBox::setClock(Clock clock) {
    m_clock = std::move(clock);
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

void DateBox::focusOutEvent(QFocusEvent* event) {
    // A menu, the calendar or another window is not leaving the box: the
    // typed text stays for when the person comes back.
    const bool away =
        event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason;
    if (away && typingImpossibleDate()) {
        QWidget::focusOutEvent(event);
        return;
    }
    if (!away && !refuseTyped())
        m_dateBefore = date();
    QDateEdit::focusOutEvent(event);
}

void DateBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (enter && refuseTyped())
        return;
    if (typingImpossibleDate()) {
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
                refuseTyped();
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

bool DateBox::outOfRange() const {
    const QDate held = date();
    return held != m_dateBefore &&
           (held < QDate(ValueForms::FirstYear, 1, 1) || held > m_clock().addYears(YearsAhead));
}

QString DateBox::typedProblem() const {
    const QString before = m_dateBefore.toString(Format);
    const QString impossible = impossibleDateMessage(lineEdit()->text());
    if (!impossible.isEmpty())
        return QStringLiteral("%1 Se ha dejado en «%2» la fecha que tenía, %3; escriba una fecha "
                              "que exista.")
            .arg(impossible, m_fieldName, before);
    if (outOfRange())
        return QStringLiteral("La fecha %1 no parece la que quería escribir: escriba una fecha "
                              "entre el %2 y el %3. Se ha dejado en «%4» la fecha que tenía, %5.")
            .arg(date().toString(Format), QDate(ValueForms::FirstYear, 1, 1).toString(Format),
                 m_clock().addYears(YearsAhead).toString(Format), m_fieldName, before);
    return {};
}

bool DateBox::commitTyped() {
    if (refuseTyped())
        return false;
    // What is half typed goes back to the date held, as on leaving.
    interpretText();
    m_dateBefore = date();
    return true;
}

void DateBox::dropTyped() {
    if (!typedProblem().isEmpty())
        setDate(m_dateBefore);
}

bool DateBox::refuseTyped() {
    const QString text = typedProblem();
    if (text.isEmpty())
        return false;
    setDate(m_dateBefore);
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
