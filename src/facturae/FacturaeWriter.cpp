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
    Writer(const Invoice& invoice, XmlOut& xml) : v(invoice), x(xml) {}

    void fileHeader(const InvoiceTotals& totals) {
        const QString total = DocumentText::amount(totals.total);
        x.startElement("FileHeader");
        text("SchemaVersion", FacturaeVersions::text(v.facturaeVersion));
        text("Modality", QStringLiteral("I"));
        text("InvoiceIssuerType", QStringLiteral("EM"));
        x.startElement("Batch");
        text("BatchIdentifier", v.customer.taxId + v.series);
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
    void text(const char* name, const QString& value) {
        x.textElement(name, DocumentText::xmlSafe(value));
    }

    // The customer has no e-mail.
    QString field(Party party, PartyField f) const {
        return party == Party::Customer && f == PartyField::Email ? QString()
                                                                  : v.party(party).field(f);
    }

    // An element named and filled as the party table says.
    void partyText(Party party, PartyField f) {
        x.textElement(PartyFields::info(f).element, DocumentText::xmlSafe(field(party, f)));
    }

    void taxIdentification(Party party) {
        x.startElement("TaxIdentification");
        text("PersonTypeCode", personTypeLetter(v.party(party).type));
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
        if (v.party(party).type == PersonType::LegalEntity) {
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

    void centre(const QString& code, const char* role, const QString& name) {
        x.startElement("AdministrativeCentre");
        text("CentreCode", code);
        text("RoleTypeCode", QString::fromLatin1(role));
        text("Name", name);
        address(Party::Customer);
        text("CentreDescription", name);
        x.endElement();
    }

    void buyer() {
        x.startElement("BuyerParty");
        taxIdentification(Party::Customer);
        if (v.administration) {
            const AdministrationCentres& c = v.centres;
            x.startElement("AdministrativeCentres");
            centre(c.managingCode, "02", c.managingName);
            centre(c.unitCode, "03", c.unitName);
            centre(c.officeCode, "01", c.officeName);
            x.endElement();
        }
        person(Party::Customer);
        x.endElement();
    }

    const Invoice& v;
    XmlOut& x;
};

} // namespace

void write(const Invoice& invoice, QIODevice& device) {
    XmlOut xml(device);
    xml.startDocument();
    xml.startElement("fe:Facturae", {{"xmlns:ds", SignatureNamespace},
                                     {"xmlns:fe", invoice.facturaeVersion == FacturaeVersion::V3_2_2
                                                      ? Facturae322Namespace
                                                      : FacturaeNamespace}});
    // One computation for every figure of the document.
    const InvoiceTotals totals = totalsOf(invoice);
    Writer writer(invoice, xml);
    writer.fileHeader(totals);
    writer.parties();
    writeInvoiceBody(invoice, totals, xml);
    xml.endDocument();
    if (!xml.ok())
        throw AppError(QStringLiteral("No se pudo escribir la factura"));
}

void write(InvoiceRecord& record, QIODevice& device) {
    write(record.settledInvoice(), device);
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

void save(const Invoice& invoice, const QString& path) {
    saveWith(path, [&](QIODevice& device) { write(invoice, device); });
}

void save(InvoiceRecord& record, const QString& path) {
    save(record.settledInvoice(), path);
}

void save(const QByteArray& document, const QString& path) {
    saveWith(path, [&](QIODevice& device) {
        if (device.write(document) != document.size())
            throw AppError(QStringLiteral("No se pudo escribir la factura"));
    });
}

} // namespace FacturaeWriter
