#pragma once

#include <QString>

class DateBox;
class InvoiceRecord;
class LinesGrid;
class QWidget;
class RateCombo;

// What the person is typing and the invoice does not hold yet: an open cell
// of the lines grid, a rate typed into the I.R.P.F. list, a date typed into
// the date box being edited. A command takes it first, exactly as leaving
// the box would, so what is on screen is what is saved, printed, signed and
// checked.
class PendingEdit {
public:
    PendingEdit(InvoiceRecord& record, LinesGrid& grid, RateCombo& rate, QWidget& window);

    // Takes everything typed. A value that is refused is explained as
    // leaving its box explains it, and false comes back: the command must
    // not run.
    bool commit();
    // Takes what can be taken, without a word; false when something typed
    // would be refused (it stays on screen, unexplained).
    bool commitQuietly();
    // Puts back what the invoice holds where a value would be refused.
    void drop();

    // The I.R.P.F. list's text, picked or typed, once finished: a number from
    // 0 to 100 (an empty list reads 0) becomes the invoice's rate and the
    // totals follow; anything else is refused with a message and the list
    // shows the rate it had. False when refused.
    bool takeRate();

private:
    QString typedRate() const;
    QString rateProblem() const;
    // The date box the keyboard is in, if any.
    DateBox* editedDate() const;

    InvoiceRecord& m_record;
    LinesGrid& m_grid;
    RateCombo& m_rate;
    QWidget& m_window;
};
