#pragma once

#include <QDate>
#include <QDateEdit>

// A date box that refuses a typed date the calendar does not have
// (31/02/2027) with a message, instead of quietly moving it to the last day
// of the month. The box goes back to the date it held before the typing.
class CheckedDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit CheckedDateEdit(QWidget* parent = nullptr);

    // True when text has the full day/month/year form of the box but names
    // no day of the calendar.
    static bool isImpossibleDate(const QString& text);

    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // False (after telling the person) when the typed text was refused.
    bool acceptTyped();

    QDate m_before;
    bool m_telling = false;
};
