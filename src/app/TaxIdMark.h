#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

// Marks a tax-id box as soon as its text fails the check character: a red
// frame and a tooltip saying why. Typing is never stopped; a blank box, a
// foreign id and a right one show nothing.
class TaxIdMark : public QObject {
    Q_OBJECT
public:
    static void attach(QLineEdit* edit);
    // The tooltip shown for text, empty when it shows no mark.
    static QString problemOf(const QString& text);

private:
    explicit TaxIdMark(QLineEdit* edit);
    void update();

    QLineEdit* m_edit;
    QString m_plainStyle;
    QString m_plainToolTip;
};
