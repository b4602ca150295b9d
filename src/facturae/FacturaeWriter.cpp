#include "facturae/FacturaeWriter.h"

#include "common/AppError.h"
#include "facturae/DocumentText.h"
#include "facturae/InvoiceBody.h"
#include "facturae/XmlOut.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/Totals.h"

#include <QDir>
#include <QSaveFile>

namespace FacturaeWriter {

namespace {

class Writer {
public:
    Writer(const InvoiceRecord& record, XmlOut& xml) : r(record), x(xml) {}

    void fileHeader() {
        const QString total =
            DocumentText::amount(computeTotals(r.lines().lines(), r.withholdingRate()).total);
        x.startElement("FileHeader");
        text("SchemaVersion", QStringLiteral("3.2.1"));
        text("Modality", QStringLiteral("I"));
        text("InvoiceIssuerType", QStringLiteral("EM"));
        x.startElement("Batch");
        text("BatchIdentifier",
             field(RecordField::CustomerTaxId) + field(RecordField::InvoiceSeries));
        text("InvoicesCount", QStringLiteral("1"));
        for (const char* name :
             {"TotalInvoicesAmount", "TotalOutstandingAmount", "TotalExecutableAmount"}) {
            x.startElement(name);
            text("TotalAmount", total);
            x.endElement();
        }
        text("InvoiceCurrencyCode", QStringLiteral("EUR"));
        x.endElement(); // Batch
        x.endElement(); // FileHeader
    }

    void parties() {
        x.startElement("Parties");
        seller();
        buyer();
        x.endElement();
    }

private:
    QString field(RecordField f) const { return r.text(f); }

    void text(const char* name, const QString& value) {
        x.textElement(name, DocumentText::xmlSafe(value));
    }

    void taxIdentification(Party party, RecordField taxId) {
        x.startElement("TaxIdentification");
        text("PersonTypeCode", personTypeLetter(r.personType(party)));
        text("ResidenceTypeCode", QStringLiteral("R"));
        text("TaxIdentificationNumber", field(taxId));
        x.endElement();
    }

    void address(RecordField street, RecordField postCode, RecordField town, RecordField province) {
        x.startElement("AddressInSpain");
        text("Address", field(street));
        text("PostCode", field(postCode));
        text("Town", field(town));
        text("Province", field(province));
        text("CountryCode", QStringLiteral("ESP"));
        x.endElement();
    }

    void sellerAddressAndContact() {
        address(RecordField::IssuerAddress, RecordField::IssuerPostCode, RecordField::IssuerTown,
                RecordField::IssuerProvince);
        x.startElement("ContactDetails");
        text("ElectronicMail", field(RecordField::IssuerEmail));
        x.endElement();
    }

    void customerAddress() {
        address(RecordField::CustomerAddress, RecordField::CustomerPostCode,
                RecordField::CustomerTown, RecordField::CustomerProvince);
    }

    void seller() {
        x.startElement("SellerParty");
        taxIdentification(Party::Issuer, RecordField::IssuerTaxId);
        if (r.personType(Party::Issuer) == PersonType::LegalEntity) {
            x.startElement("LegalEntity");
            text("CorporateName", field(RecordField::IssuerCorporateName));
            text("TradeName", field(RecordField::IssuerContact));
            sellerAddressAndContact();
            x.endElement();
        } else {
            x.startElement("Individual");
            text("Name", field(RecordField::IssuerFirstName));
            text("FirstSurname", field(RecordField::IssuerFirstSurname));
            text("SecondSurname", field(RecordField::IssuerSecondSurname));
            sellerAddressAndContact();
            x.endElement();
        }
        x.endElement();
    }

    void centre(RecordField code, const char* role, RecordField name) {
        x.startElement("AdministrativeCentre");
        text("CentreCode", field(code));
        text("RoleTypeCode", QString::fromLatin1(role));
        text("Name", field(name));
        customerAddress();
        text("CentreDescription", field(name));
        x.endElement();
    }

    void buyer() {
        x.startElement("BuyerParty");
        taxIdentification(Party::Customer, RecordField::CustomerTaxId);
        if (r.isAdministration()) {
            x.startElement("AdministrativeCentres");
            centre(RecordField::ManagingBodyCode, "02", RecordField::ManagingBodyName);
            centre(RecordField::ProcessingUnitCode, "03", RecordField::ProcessingUnitName);
            centre(RecordField::AccountingOfficeCode, "01", RecordField::AccountingOfficeName);
            x.endElement();
        }
        if (r.personType(Party::Customer) == PersonType::LegalEntity) {
            x.startElement("LegalEntity");
            text("CorporateName", field(RecordField::CustomerCorporateName));
            text("TradeName", field(RecordField::CustomerContact));
            customerAddress();
            x.endElement();
        } else {
            x.startElement("Individual");
            text("Name", field(RecordField::CustomerFirstName));
            text("FirstSurname", field(RecordField::CustomerFirstSurname));
            text("SecondSurname", field(RecordField::CustomerSecondSurname));
            customerAddress();
            x.endElement();
        }
        x.endElement();
    }

    const InvoiceRecord& r;
    XmlOut& x;
};

} // namespace

bool hasBankEntity(const InvoiceRecord& record) {
    return !record.text(RecordField::BankEntity).isEmpty();
}

void write(InvoiceRecord& record, QIODevice& device) {
    // A line still being edited is stored (or an untouched new one dropped)
    // before anything is written, so every figure comes from the same state.
    record.lines().first();

    XmlOut xml(device);
    xml.startDocument();
    xml.startElement("fe:Facturae",
                     {{"xmlns:ds", SignatureNamespace}, {"xmlns:fe", FacturaeNamespace}});
    Writer writer(record, xml);
    writer.fileHeader();
    writer.parties();
    writeInvoiceBody(record, xml);
    xml.endDocument();
    record.lines().last();
    if (!xml.ok())
        throw AppError(QStringLiteral("No se pudo escribir la factura"));
}

void save(InvoiceRecord& record, const QString& path) {
    QSaveFile file(path);
    auto cannotSave = [&] {
        return AppError(QStringLiteral("No se puede guardar la factura en %1: %2")
                            .arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw cannotSave();
    try {
        write(record, file);
    } catch (const AppError&) {
        throw cannotSave(); // the device's reason says more than the writer's
    }
    if (!file.commit())
        throw cannotSave();
}

QString importSaveTarget(const InvoiceRecord& record) {
    if (record.nombreFichero().isEmpty() && record.rutaDelFichero().isEmpty())
        return {};
    return record.rutaDelFichero() + record.nombreFichero() + QStringLiteral(".XML");
}

} // namespace FacturaeWriter
