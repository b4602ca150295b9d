#include "app/RecordBinding.h"

#include "app/ControlNames.h"
#include "invoice/InvoiceRecord.h"
#include "widgets/NumericEdit.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalBlocker>

RecordBinding::RecordBinding(InvoiceRecord& record, QWidget* root)
    : QObject(root), m_record(record) {
    for (int i = 0; i < RecordFieldCount; ++i) {
        const auto field = static_cast<RecordField>(i);
        if (field == RecordField::WithholdingRate)
            continue;
        auto* edit = root->findChild<QLineEdit*>(controlName(field));
        Q_ASSERT_X(edit, "RecordBinding", qPrintable(controlName(field)));
        if (!edit)
            continue;
        m_edits[i] = edit;
        // textEdited: only what a person types goes back; program changes come
        // from the record itself.
        connect(edit, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { m_record.setText(field, text); });
    }

    for (int i = 0; i < TotalBoxCount; ++i) {
        const auto box = static_cast<TotalBox>(i);
        auto* edit = root->findChild<NumericEdit*>(controlName(box));
        Q_ASSERT_X(edit, "RecordBinding", qPrintable(controlName(box)));
        // What the boxes show is always what the document carries: they
        // follow the record and take no typing.
        m_totals[i] = edit;
    }

    // The rate list's text reaches the record when it is finished (the
    // window checks it first); here it only follows the record.
    m_rate = root->findChild<QComboBox*>(controlName(RecordField::WithholdingRate));
    Q_ASSERT(m_rate);

    m_issueDate = root->findChild<QDateEdit*>(QStringLiteral("FechaFactura"));
    m_dueDate = root->findChild<QDateEdit*>(QStringLiteral("FechaVencimiento"));
    Q_ASSERT(m_issueDate && m_dueDate);
    connect(m_issueDate, &QDateEdit::dateChanged, this,
            [this](const QDate& date) { m_record.setIssueDate(date); });
    connect(m_dueDate, &QDateEdit::dateChanged, this,
            [this](const QDate& date) { m_record.setDueDate(date); });

    connect(&record, &InvoiceRecord::textChanged, this, &RecordBinding::showText);
    connect(&record, &InvoiceRecord::totalsChanged, this, &RecordBinding::showTotals);
    connect(&record, &InvoiceRecord::datesChanged, this, &RecordBinding::showDates);
}

void RecordBinding::showAll() {
    for (int i = 0; i < RecordFieldCount; ++i) {
        const auto field = static_cast<RecordField>(i);
        showText(field, m_record.text(field));
    }
    showTotals();
    showDates();
}

void RecordBinding::showText(RecordField field, const QString& value) {
    if (field == RecordField::WithholdingRate) {
        if (m_rate->currentText() != value) {
            const QSignalBlocker block(m_rate);
            m_rate->setEditText(value);
        }
        return;
    }
    QLineEdit* edit = m_edits[static_cast<int>(field)];
    if (edit && edit->text() != value) {
        // Keep the cursor where the person left it when the text is theirs.
        const int cursor = edit->cursorPosition();
        edit->setText(value);
        edit->setCursorPosition(qMin(cursor, int(value.size())));
    }
}

void RecordBinding::showTotals() {
    for (int i = 0; i < TotalBoxCount; ++i)
        m_totals[i]->setValue(m_record.totalValue(static_cast<TotalBox>(i)));
}

void RecordBinding::showDates() {
    // Setting a picker emits dateChanged, which writes back the same date.
    if (m_record.issueDate().isValid())
        m_issueDate->setDate(m_record.issueDate());
    if (m_record.dueDate().isValid())
        m_dueDate->setDate(m_record.dueDate());
}
