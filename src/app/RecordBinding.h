#pragma once

#include "invoice/RecordField.h"

#include <QObject>
#include <array>

class InvoiceRecord;
class NumericEdit;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QWidget;

// Keeps the window's controls and the invoice record in step, both ways. Each
// text field is shown by the edit whose object name controlName() gives; the
// totals by the number boxes of the same names; the withholding rate by the
// text of ComboBox1.
class RecordBinding : public QObject {
    Q_OBJECT
public:
    RecordBinding(InvoiceRecord& record, QWidget* root);

    QLineEdit* edit(RecordField field) const { return m_edits[static_cast<int>(field)]; }

    // Puts the whole record on screen (used once at start).
    void showAll();

private:
    void showText(RecordField field, const QString& value);
    void showTotals();
    void showDates();

    InvoiceRecord& m_record;
    std::array<QLineEdit*, RecordFieldCount> m_edits{};
    std::array<NumericEdit*, TotalBoxCount> m_totals{};
    QComboBox* m_rate = nullptr;
    QDateEdit* m_issueDate = nullptr;
    QDateEdit* m_dueDate = nullptr;
};
