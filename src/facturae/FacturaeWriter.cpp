#include "facturae/FacturaeWriter.h"

#include "common/AppError.h"
#include "common/SafeSave.h"
#include "facturae/DocumentText.h"
#include "facturae/InvoiceBody.h"
#include "facturae/XmlOut.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/PartyFields.h"
#include "invoice/Totals.h"

#include <QDir>

#include <functional>

namespace FacturaeWriter {

namespace {

class Writer {
public:
    Writer(const InvoiceRecord& record, XmlOut& xml) : r(record), x(xml) {}

    void fileHeader(const InvoiceTotals& totals) {
        const QString total = DocumentText::amount(totals.total);
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

    QString field(Party party, PartyField f) const {
        const std::optional<RecordField> source = PartyFields::recordField(party, f);
        return source ? r.text(*source) : QString();
    }

    // An element named and filled as the party table says.
    void partyText(Party party, PartyField f) {
        x.textElement(PartyFields::info(f).element, DocumentText::xmlSafe(field(party, f)));
    }

    void taxIdentification(Party party) {
        x.startElement("TaxIdentification");
        text("PersonTypeCode", personTypeLetter(r.personType(party)));
        text("ResidenceTypeCode", QStringLiteral("R"));
        partyText(party, PartyField::TaxId);
        x.endElement();
    }

    // The address is the customer's for the customer and for each of its centres.
    void address(Party party) {
        x.startElement("AddressInSpain");
        for (PartyField f :
             {PartyField::Address, PartyField::PostCode, PartyField::Town, PartyField::Province})
            partyText(party, f);
        text("CountryCode", QStringLiteral("ESP"));
        x.endElement();
    }

    // LegalEntity or Individual, with the address; the seller adds its e-mail.
    void person(Party party) {
        if (r.personType(party) == PersonType::LegalEntity) {
            x.startElement("LegalEntity");
            partyText(party, PartyField::CorporateName);
            partyText(party, PartyField::Contact);
        } else {
            x.startElement("Individual");
            partyText(party, PartyField::FirstName);
            partyText(party, PartyField::FirstSurname);
            partyText(party, PartyField::SecondSurname);
        }
        address(party);
        if (party == Party::Issuer) {
            x.startElement("ContactDetails");
            partyText(party, PartyField::Email);
            x.endElement();
        }
        x.endElement();
    }

    void seller() {
        x.startElement("SellerParty");
        taxIdentification(Party::Issuer);
        person(Party::Issuer);
        x.endElement();
    }

    void centre(RecordField code, const char* role, RecordField name) {
        x.startElement("AdministrativeCentre");
        text("CentreCode", field(code));
        text("RoleTypeCode", QString::fromLatin1(role));
        text("Name", field(name));
        address(Party::Customer);
        text("CentreDescription", field(name));
        x.endElement();
    }

    void buyer() {
        x.startElement("BuyerParty");
        taxIdentification(Party::Customer);
        if (r.isAdministration()) {
            x.startElement("AdministrativeCentres");
            centre(RecordField::ManagingBodyCode, "02", RecordField::ManagingBodyName);
            centre(RecordField::ProcessingUnitCode, "03", RecordField::ProcessingUnitName);
            centre(RecordField::AccountingOfficeCode, "01", RecordField::AccountingOfficeName);
            x.endElement();
        }
        person(Party::Customer);
        x.endElement();
    }

    const InvoiceRecord& r;
    XmlOut& x;
};

} // namespace

void write(InvoiceRecord& record, QIODevice& device) {
    // A line still being edited is stored (or an untouched new one dropped)
    // before anything is written, so every figure comes from the same state;
    // the current line stays the one the person is on.
    const int row = record.lines().currentRow();
    record.lines().first();

    XmlOut xml(device);
    xml.startDocument();
    xml.startElement("fe:Facturae",
                     {{"xmlns:ds", SignatureNamespace}, {"xmlns:fe", FacturaeNamespace}});
    // One computation for every figure of the document.
    const InvoiceTotals totals = computeTotals(record.lines().lines(), record.withholdingRate());
    Writer writer(record, xml);
    writer.fileHeader(totals);
    writer.parties();
    writeInvoiceBody(record, totals, xml);
    xml.endDocument();
    record.lines().moveTo(row);
    if (!xml.ok())
        throw AppError(QStringLiteral("No se pudo escribir la factura"));
}

namespace {

// The atomic save, whatever fills the file.
void saveWith(const QString& path, const std::function<void(QIODevice&)>& fill) {
    SafeSave file(path);
    auto cannotSave = [&](const QString& reason) {
        return AppError(QStringLiteral("No se puede guardar la factura en %1: %2")
                            .arg(QDir::toNativeSeparators(path), reason));
    };
    if (!file.open())
        throw cannotSave(file.errorString());
    try {
        fill(file.device());
    } catch (const AppError&) {
        // The device's reason says more than the writer's.
        throw cannotSave(file.device().errorString());
    }
    if (!file.commit())
        throw cannotSave(file.errorString());
}

} // namespace

void save(InvoiceRecord& record, const QString& path) {
    saveWith(path, [&](QIODevice& device) { write(record, device); });
}

void save(const QByteArray& document, const QString& path) {
    saveWith(path, [&](QIODevice& device) {
        if (device.write(document) != document.size())
            throw AppError(QStringLiteral("No se pudo escribir la factura"));
    });
}

} // namespace FacturaeWriter
