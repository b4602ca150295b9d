#include "storage/DraftFile.h"

#include "common/ValueForms.h"
#include "invoice/InvoiceRecord.h"
#include "storage/IniFile.h"
#include "storage/InvoiceImport.h"
#include "storage/TextDecoding.h"

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

void writeParty(DraftText& d, const InvoiceParty& p, Party party) {
    const bool legal = p.type == PersonType::LegalEntity;
    d.key("PERSONA", personTypeLetter(p.type));
    if (legal) {
        d.key("NOMBRE", p.corporateName);
    } else {
        d.key("NOMBRE", p.firstName);
        d.key("APELLIDO1", p.firstSurname);
        d.key("APELLIDO2", p.secondSurname);
    }
    d.key("DIRECCION", p.address);
    d.key("CP", p.postCode);
    d.key("POBLACION", p.town);
    d.key("PROVINCIA", p.province);
    d.key("NIF", p.taxId);
    d.key("CONTACTO", legal ? p.contact : QString());
    if (party == Party::Issuer)
        d.key("MAIL", p.email);
}

QString draftText(const Invoice& v) {
    DraftText d;
    d.section("DATOS_GENERALES");
    d.key("SERIE", v.series);
    d.key("FACTURA", v.number);
    d.key("FECHA", dateOrEmpty(v.issueDate));
    d.key("VENCIMIENTO", dateOrEmpty(v.dueDate));
    d.key("LINEAS", QString::number(v.lines.size()));
    // The rate in the files' form ("15.5" typed is written 15,5); never
    // empty, which would mean the usual rate when read back.
    d.key("IRPF", numberText(v.withholdingRate));

    d.section("VENDEDOR");
    d.key("ENTIDAD", v.account.entity);
    d.key("OFICINA", v.account.office);
    d.key("DC", v.account.controlDigits);
    d.key("CUENTA", v.account.number);
    writeParty(d, v.issuer, Party::Issuer);

    d.section("COMPRADOR");
    writeParty(d, v.customer, Party::Customer);

    // The import ticks "Admón. del estado." when a managing body is given, so
    // the centres go only with the tick.
    d.section("ADMON");
    auto centre = [&](const QString& value) { return v.administration ? value : QString(); };
    d.key("GESTOR", centre(v.centres.managingCode));
    d.key("OFICINA", centre(v.centres.officeCode));
    d.key("UNIDAD", centre(v.centres.unitCode));
    d.key("NOMBREGESTOR", centre(v.centres.managingName));
    d.key("NOMBREOFICINA", centre(v.centres.officeName));
    d.key("NOMBREUNIDAD", centre(v.centres.unitName));

    d.section("LINEAS");
    int n = 0;
    for (const InvoiceLine& line : v.lines) {
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
        // A taxed line at its rate is what a line without the key reads as;
        // a line at 0 % says its treatment, whatever cause is usual when it
        // is read back.
        if (line.treatment != VatTreatment::S1 || line.vatRate.isZero())
            key("CALIFICACION", vatTreatmentCode(line.treatment));
    }
    // Only a corrective invoice has the section, so an ordinary one's text
    // stays as it always was.
    if (const std::optional<Correction>& c = v.correction) {
        d.section("RECTIFICATIVA");
        d.key("SERIE", c->series);
        d.key("FACTURA", c->number);
        d.key("FECHA", dateOrEmpty(c->issueDate));
        d.key("MOTIVO", c->reasonCode);
        d.key("METODO", c->method);
        d.key("PERIODOINICIO", dateOrEmpty(c->periodStart));
        d.key("PERIODOFIN", dateOrEmpty(c->periodEnd));
        d.key("TIPO", c->kind);
    }
    return d.text();
}

} // namespace

QString numberText(const Decimal& value) {
    // Every decimal the value has, with the import file's decimal comma.
    return value.editText();
}

QString text(InvoiceRecord& record) {
    return draftText(record.settledInvoice());
}

QByteArray text(const Invoice& invoice) {
    return draftText(invoice).toUtf8();
}

Invoice read(const QByteArray& text) {
    IniFile ini{QString()};
    ini.setText(TextDecoding::decode(text));
    return InvoiceImport::readInvoice(ini);
}

void save(InvoiceRecord& record, const QString& path) {
    IniFile file(path);
    file.setText(text(record));
    file.save();
}

} // namespace DraftFile
