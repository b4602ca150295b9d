#pragma once

#include <QObject>

class QLineEdit;

// Limits what a person can type or paste into an edit to a number of
// characters. Unlike QLineEdit::setMaxLength it leaves text the program puts
// in whole, and such a longer text can still be shortened by hand.
class TypedLengthLimit : public QObject {
    Q_OBJECT
public:
    TypedLengthLimit(QLineEdit* edit, int maxLength);
    int maxLength() const { return m_maxLength; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // How many characters may still go in place of the selection.
    int room() const;

    QLineEdit* m_edit;
    int m_maxLength;
};
