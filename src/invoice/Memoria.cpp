#include "invoice/Memoria.h"

#include "common/AppError.h"

Memoria::Memoria(QObject* parent) : QObject(parent) {}

void Memoria::open() {
    m_lines.clear();
    m_state = State::Browse;
    m_current = -1;
    m_modified = false;
    emit rowsReset();
}

void Memoria::close() {
    m_lines.clear();
    m_lines.squeeze();
    m_state = State::Inactive;
    m_current = -1;
    m_modified = false;
    emit rowsReset();
}

int Memoria::currentRow() const {
    if (m_state == State::Insert)
        return m_lines.size();
    return m_current;
}

int Memoria::rowCount() const {
    return m_lines.size() + (m_state == State::Insert ? 1 : 0);
}

const InvoiceLine& Memoria::rowLine(int row) const {
    if (isEditing() && row == currentRow())
        return m_buffer;
    return m_lines.at(row);
}

const InvoiceLine* Memoria::currentLine() const {
    const int row = currentRow();
    if (row < 0 || row >= rowCount())
        return nullptr;
    return &rowLine(row);
}

void Memoria::setCurrent(int index) {
    if (m_current == index)
        return;
    m_current = index;
    emit currentChanged(currentRow());
}

// Leaving a line: a changed line is stored, an untouched new one dropped.
void Memoria::settle() {
    if (m_state == State::Insert && !m_modified)
        cancel();
    else if (isEditing())
        post();
}

void Memoria::moveTo(int row) {
    if (row == currentRow())
        return;
    settle();
    if (m_lines.isEmpty())
        return;
    setCurrent(qBound(0, row, int(m_lines.size()) - 1));
}

void Memoria::first() {
    settle();
    setCurrent(m_lines.isEmpty() ? -1 : 0);
}

void Memoria::last() {
    if (isEditing())
        return;
    setCurrent(m_lines.isEmpty() ? -1 : int(m_lines.size()) - 1);
}

void Memoria::append() {
    if (m_state == State::Inactive)
        open();
    settle();
    m_buffer = InvoiceLine::newLine();
    m_state = State::Insert;
    m_modified = false;
    emit rowInserted(m_lines.size());
    emit currentChanged(currentRow());
}

void Memoria::edit() {
    if (m_state != State::Browse || m_current < 0)
        return;
    m_buffer = m_lines.at(m_current);
    m_state = State::Edit;
    m_modified = false;
}

void Memoria::setLine(const InvoiceLine& line) {
    if (m_state == State::Browse) {
        if (m_current < 0)
            append();
        else
            edit();
    }
    if (!isEditing())
        return;
    m_buffer = line;
    m_modified = true;
    emit rowChanged(currentRow());
}

void Memoria::post() {
    if (!isEditing())
        return;
    // A line whose rate was just set to 0 takes the usual cause; one already
    // at 0 keeps the treatment chosen for it, taxed at 0 % included.
    const bool rateSet =
        m_state == State::Insert || m_lines.at(m_current).vatRate != m_buffer.vatRate;
    m_buffer.store(rateSet ? std::optional(m_zeroRateCause) : std::nullopt);
    int row;
    if (m_state == State::Insert) {
        m_lines.append(m_buffer);
        row = int(m_lines.size()) - 1;
    } else {
        row = m_current;
        m_lines[row] = m_buffer;
    }
    m_state = State::Browse;
    m_modified = false;
    m_current = row;
    emit rowChanged(row);
    emit currentChanged(row);
    emit afterPost();
}

void Memoria::cancel() {
    if (m_state == State::Insert) {
        const int row = m_lines.size();
        m_state = State::Browse;
        m_modified = false;
        emit rowRemoved(row);
        emit currentChanged(m_current);
    } else if (m_state == State::Edit) {
        m_state = State::Browse;
        m_modified = false;
        emit rowChanged(m_current);
    }
}

void Memoria::deleteCurrent() {
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    if (m_lines.isEmpty() || m_current < 0)
        throw AppError(QStringLiteral("No se puede eliminar: no hay ninguna línea"));
    const int row = m_current;
    m_lines.removeAt(row);
    m_current = m_lines.isEmpty() ? -1 : qMin(row, int(m_lines.size()) - 1);
    emit rowRemoved(row);
    emit currentChanged(m_current);
    emit afterDelete();
}

void Memoria::provisionalFigures() {
    if (!isEditing())
        return;
    // The same figures the line gets when it is stored.
    m_buffer.computeAmounts();
    emit rowChanged(currentRow());
}

void Memoria::load(QVector<InvoiceLine> lines) {
    m_lines = std::move(lines);
    m_state = State::Browse;
    m_modified = false;
    m_current = m_lines.isEmpty() ? -1 : int(m_lines.size()) - 1;
    emit rowsReset();
    emit currentChanged(m_current);
}
