#pragma once

#include "invoice/InvoiceLine.h"

#include <QObject>
#include <QVector>

// The in-memory lines table with the behaviour of a dataset: a current line,
// browse / edit / insert states, append, post, cancel, delete and a walk from
// first to last. Line arithmetic runs before every post; listeners learn of
// every post and delete through signals.
class Memoria : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Memoria(QObject* parent = nullptr);

    // Opening gives an empty table; closing discards every line.
    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }

    State state() const { return m_state; }
    bool isEditing() const { return m_state == State::Edit || m_state == State::Insert; }
    bool isModified() const { return m_modified; }

    // Stored lines (the line being inserted is not among them).
    const QVector<InvoiceLine>& lines() const { return m_lines; }
    int count() const { return m_lines.size(); }

    // Row of the current line in the grid's view, -1 when there is none.
    // While inserting, the new line's row is count().
    int currentRow() const;
    // Number of rows the grid shows: stored lines plus the one being inserted.
    int rowCount() const;
    // The line shown at a row: the edit buffer for the current line while
    // editing, otherwise the stored line.
    const InvoiceLine& rowLine(int row) const;
    // The current line as the "Expediente" controls and the grid see it.
    const InvoiceLine* currentLine() const;

    // Moves to another row; an edit in progress is posted first (an untouched
    // new line is dropped instead).
    void moveTo(int row);
    // Settles an edit in progress as moving away does, then goes to the first line.
    void first();
    // Goes to the last line without settling anything (the end of a walk).
    void last();

    void append();
    void edit();
    // Changes a field of the current line, starting an edit when browsing.
    void setLine(const InvoiceLine& line);
    // Stores the line being edited: runs the line arithmetic, then afterPost.
    void post();
    // Restores the stored values or drops the new line.
    void cancel();
    // Deletes the current line; a line being inserted is dropped without a
    // recalculation. Throws AppError on an empty table.
    void deleteCurrent();

    // Provisional figures shown while moving along a line being edited.
    void provisionalFigures();

    // Opens the table with these lines, each already stored; the last one
    // becomes the current line. Listeners get one reset.
    void load(QVector<InvoiceLine> lines);

    // What a line typed at 0 % becomes when stored: the cause the issuer
    // chose in Mis datos.
    VatTreatment zeroRateCause() const { return m_zeroRateCause; }
    void setZeroRateCause(VatTreatment cause) { m_zeroRateCause = cause; }

signals:
    void afterPost();
    void afterDelete();
    // For views: the rows or the current position changed.
    void rowsReset();
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void currentChanged(int row);

private:
    void setCurrent(int index);
    void settle();

    QVector<InvoiceLine> m_lines;
    InvoiceLine m_buffer;
    State m_state = State::Inactive;
    int m_current = -1;
    bool m_modified = false;
    VatTreatment m_zeroRateCause = VatTreatment::E6;
};
