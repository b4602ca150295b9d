#include "facturae/FacturaeWriter.h"

#include "facturae/DocumentText.h"
#include "facturae/InvoiceBody.h"
#include "invoice/AppError.h"
#include "invoice/InvoiceRecord.h"

#include <QSaveFile>
#include <QXmlStreamWriter>

namespace FacturaeWriter {

namespace {

class Writer {
public:
    Writer(const InvoiceRecord& record, QXmlStreamWriter& xml) : r(record), x(xml) {}

    void fileHeader() {
        const QString total = DocumentText::amount(r.totalValue(TotalBox::Total));
        x.writeStartElement(QStringLiteral("FileHeader"));
        text("SchemaVersion", QStringLiteral("3.2.1"));
        text("Modality", QStringLiteral("I"));
        text("InvoiceIssuerType", QStringLiteral("EM"));
        x.writeStartElement(QStringLiteral("Batch"));
        text("BatchIdentifier",
             field(RecordField::CustomerTaxId) + field(RecordField::InvoiceSeries));
        text("InvoicesCount", QStringLiteral("1"));
        for (const char* name :
             {"TotalInvoicesAmount", "TotalOutstandingAmount", "TotalExecutableAmount"}) {
            x.writeStartElement(QString::fromLatin1(name));
            text("TotalAmount", total);
            x.writeEndElement();
        }
        text("InvoiceCurrencyCode", QStringLiteral("EUR"));
        x.writeEndElement(); // Batch
        x.writeEndElement(); // FileHeader
    }

    void parties() {
        x.writeStartElement(QStringLiteral("Parties"));
        seller();
        buyer();
        x.writeEndElement();
    }

private:
    QString field(RecordField f) const { return r.text(f); }

    void text(const char* name, const QString& value) {
        x.writeTextElement(QString::fromLatin1(name), DocumentText::xmlSafe(value));
    }

    void taxIdentification(Party party, RecordField taxId) {
        x.writeStartElement(QStringLiteral("TaxIdentification"));
        text("PersonTypeCode", personTypeLetter(r.personType(party)));
        text("ResidenceTypeCode", QStringLiteral("R"));
        text("TaxIdentificationNumber", field(taxId));
        x.writeEndElement();
    }

    void address(RecordField street, RecordField postCode, RecordField town, RecordField province) {
        x.writeStartElement(QStringLiteral("AddressInSpain"));
        text("Address", field(street));
        text("PostCode", field(postCode));
        text("Town", field(town));
        text("Province", field(province));
        text("CountryCode", QStringLiteral("ESP"));
        x.writeEndElement();
    }

    void sellerAddressAndContact() {
        address(RecordField::IssuerAddress, RecordField::IssuerPostCode, RecordField::IssuerTown,
                RecordField::IssuerProvince);
        x.writeStartElement(QStringLiteral("ContactDetails"));
        text("ElectronicMail", field(RecordField::IssuerEmail));
        x.writeEndElement();
    }

    void customerAddress() {
        address(RecordField::CustomerAddress, RecordField::CustomerPostCode,
                RecordField::CustomerTown, RecordField::CustomerProvince);
    }

    void seller() {
        x.writeStartElement(QStringLiteral("SellerParty"));
        taxIdentification(Party::Issuer, RecordField::IssuerTaxId);
        if (r.personType(Party::Issuer) == PersonType::LegalEntity) {
            x.writeStartElement(QStringLiteral("LegalEntity"));
            text("CorporateName", field(RecordField::IssuerCorporateName));
            text("TradeName", field(RecordField::IssuerContact));
            sellerAddressAndContact();
            x.writeEndElement();
        } else {
            x.writeStartElement(QStringLiteral("Individual"));
            text("Name", field(RecordField::IssuerFirstName));
            text("FirstSurname", field(RecordField::IssuerFirstSurname));
            text("SecondSurname", field(RecordField::IssuerSecondSurname));
            sellerAddressAndContact();
            x.writeEndElement();
        }
        x.writeEndElement();
    }

    void centre(RecordField code, const char* role, RecordField name) {
        x.writeStartElement(QStringLiteral("AdministrativeCentre"));
        text("CentreCode", field(code));
        text("RoleTypeCode", QString::fromLatin1(role));
        text("Name", field(name));
        customerAddress();
        text("CentreDescription", field(name));
        x.writeEndElement();
    }

    void buyer() {
        x.writeStartElement(QStringLiteral("BuyerParty"));
        taxIdentification(Party::Customer, RecordField::CustomerTaxId);
        if (r.isAdministration()) {
            x.writeStartElement(QStringLiteral("AdministrativeCentres"));
            centre(RecordField::ManagingBodyCode, "02", RecordField::ManagingBodyName);
            centre(RecordField::ProcessingUnitCode, "03", RecordField::ProcessingUnitName);
            centre(RecordField::AccountingOfficeCode, "01", RecordField::AccountingOfficeName);
            x.writeEndElement();
        }
        if (r.personType(Party::Customer) == PersonType::LegalEntity) {
            x.writeStartElement(QStringLiteral("LegalEntity"));
            text("CorporateName", field(RecordField::CustomerCorporateName));
            text("TradeName", field(RecordField::CustomerContact));
            customerAddress();
            x.writeEndElement();
        } else {
            x.writeStartElement(QStringLiteral("Individual"));
            text("Name", field(RecordField::CustomerFirstName));
            text("FirstSurname", field(RecordField::CustomerFirstSurname));
            text("SecondSurname", field(RecordField::CustomerSecondSurname));
            customerAddress();
            x.writeEndElement();
        }
        x.writeEndElement();
    }

    const InvoiceRecord& r;
    QXmlStreamWriter& x;
};

// Collects the writer's many small pieces and passes them on in large
// blocks; a failed write of the target stops the writer.
class BlockWriter final : public QIODevice {
public:
    explicit BlockWriter(QIODevice& target) : m_target(target) { open(QIODevice::WriteOnly); }
    bool flushBlock() {
        if (!m_pending.isEmpty() && m_target.write(m_pending) != m_pending.size())
            m_failed = true;
        m_pending.clear();
        return !m_failed;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_failed)
            return -1;
        m_pending.append(data, size);
        if (m_pending.size() >= BlockSize && !flushBlock())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype BlockSize = 256 * 1024;
    QIODevice& m_target;
    QByteArray m_pending;
    bool m_failed = false;
};

} // namespace

bool hasBankEntity(const InvoiceRecord& record) {
    return !record.text(RecordField::BankEntity).isEmpty();
}

void write(InvoiceRecord& record, QIODevice& device) {
    // A line still being edited is stored (or an untouched new one dropped)
    // before anything is written, so every figure comes from the same state.
    record.lines().first();

    BlockWriter output(device);
    QXmlStreamWriter xml(&output);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeStartElement(QStringLiteral("fe:Facturae"));
    xml.writeAttribute(QStringLiteral("xmlns:ds"), QString::fromLatin1(SignatureNamespace));
    xml.writeAttribute(QStringLiteral("xmlns:fe"), QString::fromLatin1(FacturaeNamespace));
    Writer writer(record, xml);
    writer.fileHeader();
    writer.parties();
    writeInvoiceBody(record, xml);
    xml.writeEndElement();
    xml.writeEndDocument();
    record.lines().last();
    if (!output.flushBlock() || xml.hasError())
        throw AppError(QStringLiteral("No se pudo escribir la factura"));
}

void save(InvoiceRecord& record, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw AppError(QStringLiteral("No se puede guardar la factura en %1: %2")
                           .arg(path, file.errorString()));
    write(record, file);
    if (!file.commit())
        throw AppError(QStringLiteral("No se puede guardar la factura en %1: %2")
                           .arg(path, file.errorString()));
}

QString importSaveTarget(const InvoiceRecord& record) {
    if (record.nombreFichero().isEmpty() && record.rutaDelFichero().isEmpty())
        return {};
    return record.rutaDelFichero() + record.nombreFichero() + QStringLiteral(".XML");
}

} // namespace FacturaeWriter
