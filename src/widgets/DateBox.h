#pragma once

#include <QDate>
#include <QDateEdit>

// A date box in the form dd/MM/yyyy, with a calendar, that refuses a date
// that does not exist. A plain QDateEdit quietly turns 31/02/2027 into
// 28/02/2027 when the month is typed after the day; here the typed text stays
// as it is until the box is left or Enter is pressed, and then the person is
// told, and the date the box held before comes back.
class DateBox : public QDateEdit {
    Q_OBJECT
public:
    // fieldName names the box in the message ("Fecha Vencimiento").
    DateBox(const QString& fieldName, QWidget* parent = nullptr);

    // The message for a text that has the form of a date but names a day its
    // month does not have ("31/02/2027"); empty for anything else.
    static QString impossibleDateMessage(const QString& text);

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool typingImpossibleDate() const;
    void selectPart(Section part);
    // Puts back the date held before, tells why and returns to the box; false
    // when the text is a real date (or not a whole one yet).
    bool refuseImpossibleDate();

    QString m_fieldName;
    QDate m_dateBefore;
};
