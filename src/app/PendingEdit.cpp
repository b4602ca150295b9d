#include "app/PendingEdit.h"

#include "app/LinesGrid.h"
#include "app/TotalsPanel.h"
#include "common/ValueForms.h"
#include "invoice/AmountLimits.h"
#include "invoice/InvoiceRecord.h"
#include "widgets/DateBox.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QLineEdit>

PendingEdit::PendingEdit(InvoiceRecord& record, LinesGrid& grid, RateCombo& rate, QWidget& window)
    : m_record(record), m_grid(grid), m_rate(rate), m_window(window) {}

bool PendingEdit::commit() {
    if (!m_grid.commitOpenEditor() || !takeRate())
        return false;
    DateBox* date = editedDate();
    return !date || date->commitTyped();
}

bool PendingEdit::commitQuietly() {
    bool taken = true;
    if (m_grid.openEditorProblem().isEmpty())
        m_grid.commitOpenEditor();
    else
        taken = false;
    if (rateProblem().isEmpty())
        takeRate();
    else
        taken = false;
    if (DateBox* date = editedDate()) {
        if (date->typedProblem().isEmpty())
            date->commitTyped();
        else
            taken = false;
    }
    return taken;
}

void PendingEdit::drop() {
    if (!m_grid.openEditorProblem().isEmpty())
        m_grid.dropOpenEditor();
    if (!rateProblem().isEmpty())
        m_rate.setEditText(m_record.text(RecordField::WithholdingRate));
    if (DateBox* date = editedDate())
        date->dropTyped();
}

QString PendingEdit::typedRate() const {
    const QString typed = m_rate.currentText();
    return typed.isEmpty() ? QStringLiteral("0") : typed;
}

QString PendingEdit::rateProblem() const {
    const QString typed = typedRate();
    if (typed == m_record.text(RecordField::WithholdingRate))
        return {};
    return AmountLimits::typedProblem(AmountLimits::NumberField::Withholding, typed,
                                      ValueForms::readTypedNumber(typed));
}

bool PendingEdit::takeRate() {
    const QString typed = typedRate();
    if (m_rate.currentText() != typed)
        m_rate.setEditText(typed);
    const QString problem = rateProblem();
    if (!problem.isEmpty()) {
        m_rate.setEditText(m_record.text(RecordField::WithholdingRate));
        Prompts::instance().errorBox(&m_window, withFullStop(problem));
        return false;
    }
    if (typed != m_record.text(RecordField::WithholdingRate))
        runGuarded(&m_window, [&] { m_record.setText(RecordField::WithholdingRate, typed); });
    return true;
}

DateBox* PendingEdit::editedDate() const {
    // The window's focus stays on the box while a menu or a message is up.
    for (QWidget* w = m_window.focusWidget(); w && w != &m_window; w = w->parentWidget()) {
        if (auto* box = qobject_cast<DateBox*>(w))
            return box;
    }
    return nullptr;
}
