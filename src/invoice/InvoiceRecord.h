#pragma once

#include "invoice/Invoice.h"
#include "invoice/Memoria.h"
#include "invoice/PersonType.h"
#include "invoice/RecordField.h"
#include "invoice/Totals.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <array>

// The one invoice being prepared: both parties, payment data, centres, lines,
// totals and the window's state fields. Views follow it through its signals.
class InvoiceRecord : public QObject {
    Q_OBJECT
public:
    explicit InvoiceRecord(QObject* parent = nullptr);

    // Text fields.
    const QString& text(RecordField field) const;
    void setText(RecordField field, const QString& value);

    // Person type. select() behaves as clicking the radio button: selecting
    // the other kind empties the party's contact and applies the layout;
    // selecting the kind already selected does nothing.
    PersonType personType(Party party) const;
    void selectPersonType(Party party, PersonType type);
    // The layout of the current kind: the natural-person layout empties the
    // contact; the legal-entity layout keeps it. Also settles the label.
    void applyLayout(Party party);
    // "R.Social", "Nombre", or "R. Social" for the customer before its kind
    // was first set.
    QString nameLabel(Party party) const;

    // Dates.
    QDate issueDate() const { return m_issueDate; }
    QDate dueDate() const { return m_dueDate; }
    void setIssueDate(const QDate& date);
    void setDueDate(const QDate& date);

    // "Admón. del estado.".
    bool isAdministration() const { return m_administration; }
    void setAdministration(bool ticked);

    // The totals boxes and the VAT summary: always those of the stored lines
    // and the withholding rate (worked out again whenever either changes).
    const InvoiceTotals& totals() const { return m_totals; }
    Decimal totalValue(TotalBox box) const;

    // The withholding rate in per cent: the number in the list's text,
    // 0 when it is not a number.
    Decimal withholdingRate() const;

    // The reason written on every exempt or not-subject line, per cause, as
    // Mis datos sets them.
    const TreatmentReasons& reasons() const { return m_reasons; }
    void setReasons(const TreatmentReasons& reasons) { m_reasons = reasons; }
    // The Facturae version documents are written in, a setting: neither an
    // import nor a draft changes it.
    void setFacturaeVersion(FacturaeVersion version) { m_facturaeVersion = version; }

    // A corrective invoice's description; none for an ordinary invoice.
    const std::optional<Correction>& correction() const { return m_correction; }
    void setCorrection(const std::optional<Correction>& correction) { m_correction = correction; }

    Memoria& lines() { return m_lines; }
    const Memoria& lines() const { return m_lines; }

    // Window state fields.
    bool importando() const { return m_importando; }
    void setImportando(bool on) { m_importando = on; }
    QString cuentaCompleta() const { return m_cuentaCompleta; }
    void setCuentaCompleta(const QString& account) { m_cuentaCompleta = account; }
    QString nombreFichero() const { return m_nombreFichero; }
    QString rutaDelFichero() const { return m_rutaDelFichero; }
    void setImportFile(const QString& baseName, const QString& folderWithSeparator);

    // The invoice as a value: the stored lines, the rate the text reads as.
    Invoice invoice() const;
    // The same once a line still being edited is stored (or an untouched new
    // one dropped), so every figure comes from one state; the current line
    // stays the one the person is on.
    Invoice settledInvoice();
    // Takes every value of invoice, as the import does: views hear of each
    // change; the lines replace the table's.
    void assign(const Invoice& invoice);

    // Back to the state right after construction, as a new window has it:
    // every field empty, both parties legal entities, no centres, no lines
    // (the table closed), rate "0", totals zero. Views hear of every change.
    void reset();

    // RecalculateTotals; runs after every post and delete of a line, when the
    // lines are cleared or replaced, and when the withholding rate changes.
    void recalculateTotals();

signals:
    void textChanged(RecordField field, const QString& value);
    void personTypeChanged(Party party);
    void layoutChanged(Party party);
    void datesChanged();
    void administrationChanged(bool ticked);
    void totalsChanged();

private:
    std::array<QString, RecordFieldCount> m_text;
    PersonType m_issuerType = PersonType::LegalEntity;
    PersonType m_customerType = PersonType::LegalEntity;
    bool m_customerLabelSet = false;
    QDate m_issueDate;
    QDate m_dueDate;
    bool m_administration = false;
    InvoiceTotals m_totals;
    TreatmentReasons m_reasons;
    FacturaeVersion m_facturaeVersion = FacturaeVersion::V3_2_1;
    Memoria m_lines;
    std::optional<Correction> m_correction;
    bool m_importando = false;
    QString m_cuentaCompleta;
    QString m_nombreFichero;
    QString m_rutaDelFichero;
};
