#pragma once

#include <QDate>
#include <QDateEdit>
#include <functional>

// A date box in the form dd/MM/yyyy, with a calendar, that refuses a date
// that does not exist. A plain QDateEdit quietly turns 31/02/2027 into
// 28/02/2027 when the month is typed after the day; here the typed text stays
// as it is until the box is left or Enter is pressed, and then the person is
// told, and the date the box held before comes back. So is a date changed
// by the person to one before 1900 or more than ten years ahead: a slip
// ("2026-001" typed as 20/02/6001), never a real invoice date.
class DateBox : public QDateEdit {
    Q_OBJECT
public:
    // fieldName names the box in the message ("Fecha Vencimiento").
    DateBox(const QString& fieldName, QWidget* parent = nullptr);

    // Today's date, for the latest date a person may type; tests give their own.
    using Clock = std::function<QDate()>;
    void setClock(Clock clock);
    static constexpr int YearsAhead = 10;

    // The message for a text that has the form of a date but names a day its
    // month does not have ("31/02/2027"); empty for anything else.
    static QString impossibleDateMessage(const QString& text);

    // Why what the box holds now cannot be taken, as leaving it would say;
    // empty when it can.
    QString typedProblem() const;
    // Takes what the box holds as leaving it does; a date that cannot be
    // taken is refused as leaving refuses it, and false comes back.
    bool commitTyped();
    // Puts back the date held before a date that cannot be taken, without a word.
    void dropTyped();

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool typingImpossibleDate() const;
    // The person is typing in the box or picking in its calendar.
    bool personChanging() const;
    // The date changed by the person is outside what may be typed.
    bool outOfRange() const;
    void selectPart(Section part);
    // Puts back the date held before, tells why and returns to the box; false
    // when the box holds a date that can be taken (or not a whole one yet).
    bool refuseTyped();

    QString m_fieldName;
    QDate m_dateBefore;
    Clock m_clock;
};
