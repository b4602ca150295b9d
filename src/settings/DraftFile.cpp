#include "settings/DraftFile.h"

#include "common/ValueForms.h"
#include "invoice/InvoiceRecord.h"
#include "settings/IniFile.h"

namespace DraftFile {

namespace {

// Builds the file in one pass: a draft is always a whole new file, and
// thousands of lines must not mean thousands of re-reads.
class DraftText {
public:
    void section(const char* name) {
        if (!m_text.isEmpty())
            m_text += LineBreak;
        m_text += u'[' + QLatin1String(name) + u']' + LineBreak;
    }
    void key(const QString& name, const QString& value) {
        m_text += name + u'=' + protect(value) + LineBreak;
    }
    void key(const char* name, const QString& value) { key(QLatin1String(name), value); }
    const QString& text() const { return m_text; }

private:
    // The reader trims blanks and takes one pair of quotes off; a value that
    // would lose something is put between quotes, which the reader removes.
    // Line breaks would end the value: they become blanks.
    static QString protect(QString value) {
        value.replace(u'\r', u' ').replace(u'\n', u' ');
        if (value.isEmpty())
            return value;
        const QChar first = value.front();
        const QChar last = value.back();
        const bool blankAtEnd = first == u' ' || first == u'\t' || last == u' ' || last == u'\t';
        const bool quoted = value.size() >= 2 && (first == u'"' || first == u'\'') && last == first;
        const bool loses = blankAtEnd || quoted;
        return loses ? u'"' + value + u'"' : value;
    }

#ifdef Q_OS_WIN
    static inline const QString LineBreak = QStringLiteral("\r\n");
#else
    static inline const QString LineBreak = QStringLiteral("\n");
#endif
    QString m_text;
};

QString dateOrEmpty(const QDate& date) {
    if (!date.isValid() || date == ValueForms::zeroDate())
        return QString();
    return ValueForms::dateText(date);
}

void writeParty(DraftText& d, const InvoiceRecord& r, Party party) {
    const bool issuer = party == Party::Issuer;
    const bool legal = r.personType(party) == PersonType::LegalEntity;
    auto f = [&](RecordField issuerField, RecordField customerField) {
        return r.text(issuer ? issuerField : customerField);
    };
    d.key("PERSONA", personTypeLetter(r.personType(party)));
    if (legal) {
        d.key("NOMBRE", f(RecordField::IssuerCorporateName, RecordField::CustomerCorporateName));
    } else {
        d.key("NOMBRE", f(RecordField::IssuerFirstName, RecordField::CustomerFirstName));
        d.key("APELLIDO1", f(RecordField::IssuerFirstSurname, RecordField::CustomerFirstSurname));
        d.key("APELLIDO2", f(RecordField::IssuerSecondSurname, RecordField::CustomerSecondSurname));
    }
    d.key("DIRECCION", f(RecordField::IssuerAddress, RecordField::CustomerAddress));
    d.key("CP", f(RecordField::IssuerPostCode, RecordField::CustomerPostCode));
    d.key("POBLACION", f(RecordField::IssuerTown, RecordField::CustomerTown));
    d.key("PROVINCIA", f(RecordField::IssuerProvince, RecordField::CustomerProvince));
    d.key("NIF", f(RecordField::IssuerTaxId, RecordField::CustomerTaxId));
    d.key("CONTACTO",
          legal ? f(RecordField::IssuerContact, RecordField::CustomerContact) : QString());
    if (issuer)
        d.key("MAIL", r.text(RecordField::IssuerEmail));
}

} // namespace

QString numberText(const Decimal& value) {
    // Every decimal the value has, with the import file's decimal comma.
    return value.editText();
}

QString text(InvoiceRecord& record) {
    Memoria& lines = record.lines();
    // What is still being typed on a line belongs to the invoice.
    if (lines.isEditing()) {
        const int row = lines.currentRow();
        lines.first();
        lines.moveTo(row);
    }

    DraftText d;
    const InvoiceRecord& r = record;
    d.section("DATOS_GENERALES");
    d.key("SERIE", r.text(RecordField::InvoiceSeries));
    d.key("FACTURA", r.text(RecordField::InvoiceNumber));
    d.key("FECHA", dateOrEmpty(r.issueDate()));
    d.key("VENCIMIENTO", dateOrEmpty(r.dueDate()));
    d.key("LINEAS", QString::number(lines.count()));
    // The rate on screen, in the files' form ("15.5" typed is written 15,5);
    // never empty, which would mean the usual rate when read back.
    d.key("IRPF", numberText(r.withholdingRate()));

    d.section("VENDEDOR");
    d.key("ENTIDAD", r.text(RecordField::BankEntity));
    d.key("OFICINA", r.text(RecordField::BankOffice));
    d.key("DC", r.text(RecordField::BankControlDigits));
    d.key("CUENTA", r.text(RecordField::BankAccountNumber));
    writeParty(d, r, Party::Issuer);

    d.section("COMPRADOR");
    writeParty(d, r, Party::Customer);

    // The import ticks "Admón. del estado." when a managing body is given, so
    // the centres go only with the tick.
    d.section("ADMON");
    const bool administration = r.isAdministration();
    auto centre = [&](RecordField field) { return administration ? r.text(field) : QString(); };
    d.key("GESTOR", centre(RecordField::ManagingBodyCode));
    d.key("OFICINA", centre(RecordField::AccountingOfficeCode));
    d.key("UNIDAD", centre(RecordField::ProcessingUnitCode));
    d.key("NOMBREGESTOR", centre(RecordField::ManagingBodyName));
    d.key("NOMBREOFICINA", centre(RecordField::AccountingOfficeName));
    d.key("NOMBREUNIDAD", centre(RecordField::ProcessingUnitName));

    d.section("LINEAS");
    int n = 0;
    for (const InvoiceLine& line : lines.lines()) {
        const QString suffix = QString::number(++n);
        auto key = [&](const char* name, const QString& value) {
            d.key(QLatin1String(name) + suffix, value);
        };
        key("NOMBRE", line.description);
        key("PRECIO", numberText(line.price));
        key("CANTIDAD", numberText(line.quantity));
        key("DTO", numberText(line.discountPct));
        key("IVA", numberText(line.vatRate));
        key("EXPEDIENTE", line.fileReference);
        key("FECHAEXPEDIENTE",
            line.fileDate.isValid() ? ValueForms::dateText(line.fileDate) : QString());
        key("EXENTO", line.isExempt() ? QStringLiteral("S") : QStringLiteral("N"));
    }
    return d.text();
}

void save(InvoiceRecord& record, const QString& path) {
    IniFile file(path);
    file.setText(text(record));
    file.save();
}

} // namespace DraftFile
