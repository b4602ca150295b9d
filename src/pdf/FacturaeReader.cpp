#include "pdf/FacturaeReader.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "facturae/TaxQrLine.h"
#include "pdf/XmlElement.h"
#include "signing/CertificateSummary.h"
#include "signing/SignatureVerifier.h"

#include <QFile>

#include <QFileInfo>
#include <algorithm>

using namespace FacturaeDocument;

namespace {

const QString NotFacturae = QStringLiteral("no es una factura Facturae");

Address readAddress(const XmlElement* owner) {
    Address a;
    if (!owner)
        return a;
    if (const XmlElement* spain = owner->child(u"AddressInSpain")) {
        a.street = spain->textAt(u"Address");
        a.postCode = spain->textAt(u"PostCode");
        a.town = spain->textAt(u"Town");
        a.province = spain->textAt(u"Province");
        a.countryCode = spain->textAt(u"CountryCode");
    } else if (const XmlElement* abroad = owner->child(u"OverseasAddress")) {
        a.street = abroad->textAt(u"Address");
        a.town = abroad->textAt(u"PostCodeAndTown");
        a.province = abroad->textAt(u"Province");
        a.countryCode = abroad->textAt(u"CountryCode");
    }
    return a;
}

QString personName(const XmlElement& e) {
    QStringList parts;
    for (const char16_t* key : {u"Name", u"FirstSurname", u"SecondSurname"}) {
        const QString part = e.textAt(QStringView(key));
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(u' ');
}

Party readParty(const XmlElement* p) {
    Party party;
    if (!p)
        return party;
    party.taxId = p->textAt(u"TaxIdentification/TaxIdentificationNumber");
    party.personType = p->textAt(u"TaxIdentification/PersonTypeCode");
    party.residenceType = p->textAt(u"TaxIdentification/ResidenceTypeCode");
    const XmlElement* holder = nullptr;
    if (const XmlElement* legal = p->child(u"LegalEntity")) {
        holder = legal;
        party.name = legal->textAt(u"CorporateName");
        party.tradeName = legal->textAt(u"TradeName");
    } else if (const XmlElement* person = p->child(u"Individual")) {
        holder = person;
        party.name = personName(*person);
    }
    party.address = readAddress(holder);
    if (holder) {
        party.email = holder->textAt(u"ContactDetails/ElectronicMail");
        party.telephone = holder->textAt(u"ContactDetails/Telephone");
    }
    if (const XmlElement* centres = p->child(u"AdministrativeCentres")) {
        for (const XmlElement* c : centres->all(u"AdministrativeCentre")) {
            Centre centre;
            centre.code = c->textAt(u"CentreCode");
            centre.roleCode = c->textAt(u"RoleTypeCode");
            centre.name = personName(*c);
            centre.description = c->textAt(u"CentreDescription");
            party.centres.push_back(centre);
        }
    }
    return party;
}

Tax readTax(const XmlElement& t) {
    Tax tax;
    tax.typeCode = t.textAt(u"TaxTypeCode");
    tax.rate = t.textAt(u"TaxRate");
    tax.base = t.textAt(u"TaxableBase/TotalAmount");
    tax.amount = t.textAt(u"TaxAmount/TotalAmount");
    tax.surchargeRate = t.textAt(u"EquivalenceSurcharge");
    tax.surchargeAmount = t.textAt(u"EquivalenceSurchargeAmount/TotalAmount");
    return tax;
}

QVector<Tax> readTaxes(const XmlElement* list) {
    QVector<Tax> taxes;
    if (list) {
        for (const XmlElement* t : list->all(u"Tax"))
            taxes.push_back(readTax(*t));
    }
    return taxes;
}

QVector<Adjustment> readAdjustments(const XmlElement* list, QStringView item, QStringView prefix) {
    QVector<Adjustment> out;
    if (!list)
        return out;
    for (const XmlElement* e : list->all(item)) {
        out.push_back({e->textAt(prefix.toString() + QStringLiteral("Reason")),
                       e->textAt(prefix.toString() + QStringLiteral("Rate")),
                       e->textAt(prefix.toString() + QStringLiteral("Amount"))});
    }
    return out;
}

Line readLine(const XmlElement& l) {
    Line line;
    line.fileReference = l.textAt(u"FileReference");
    line.fileDate = l.textAt(u"FileDate");
    line.description = l.textAt(u"ItemDescription");
    line.quantity = l.textAt(u"Quantity");
    line.unitPrice = l.textAt(u"UnitPriceWithoutTax");
    line.totalCost = l.textAt(u"TotalCost");
    line.grossAmount = l.textAt(u"GrossAmount");
    line.discounts = readAdjustments(l.child(u"DiscountsAndRebates"), u"Discount", u"Discount");
    line.charges = readAdjustments(l.child(u"Charges"), u"Charge", u"Charge");
    line.taxes = readTaxes(l.child(u"TaxesOutputs"));
    line.withheld = readTaxes(l.child(u"TaxesWithheld"));
    line.exemptionCode = l.textAt(u"SpecialTaxableEvent/SpecialTaxableEventCode");
    line.exemptionReason = l.textAt(u"SpecialTaxableEvent/SpecialTaxableEventReason");
    return line;
}

Installment readInstallment(const XmlElement& i) {
    Installment inst;
    inst.dueDate = i.textAt(u"InstallmentDueDate");
    inst.amount = i.textAt(u"InstallmentAmount");
    inst.meansCode = i.textAt(u"PaymentMeans");
    inst.creditIban = i.textAt(u"AccountToBeCredited/IBAN");
    inst.creditAccount = i.textAt(u"AccountToBeCredited/AccountNumber");
    inst.creditBic = i.textAt(u"AccountToBeCredited/BIC");
    inst.debitIban = i.textAt(u"AccountToBeDebited/IBAN");
    inst.debitAccount = i.textAt(u"AccountToBeDebited/AccountNumber");
    return inst;
}

Invoice readInvoice(const XmlElement& e, const QString& batchCurrency) {
    Invoice inv;
    inv.number = e.textAt(u"InvoiceHeader/InvoiceNumber");
    inv.series = e.textAt(u"InvoiceHeader/InvoiceSeriesCode");
    inv.documentType = e.textAt(u"InvoiceHeader/InvoiceDocumentType");
    inv.invoiceClass = e.textAt(u"InvoiceHeader/InvoiceClass");
    inv.issueDate = e.textAt(u"InvoiceIssueData/IssueDate");
    inv.operationDate = e.textAt(u"InvoiceIssueData/OperationDate");
    inv.periodStart = e.textAt(u"InvoiceIssueData/InvoicingPeriod/StartDate");
    inv.periodEnd = e.textAt(u"InvoiceIssueData/InvoicingPeriod/EndDate");
    inv.currency = e.textAt(u"InvoiceIssueData/InvoiceCurrencyCode");
    if (inv.currency.isEmpty())
        inv.currency = batchCurrency;
    inv.taxesOutputs = readTaxes(e.child(u"TaxesOutputs"));
    inv.taxesWithheld = readTaxes(e.child(u"TaxesWithheld"));
    if (const XmlElement* t = e.child(u"InvoiceTotals")) {
        Totals& s = inv.totals;
        s.grossAmount = t->textAt(u"TotalGrossAmount");
        s.generalDiscounts = t->textAt(u"TotalGeneralDiscounts");
        s.generalSurcharges = t->textAt(u"TotalGeneralSurcharges");
        s.grossBeforeTaxes = t->textAt(u"TotalGrossAmountBeforeTaxes");
        s.taxOutputs = t->textAt(u"TotalTaxOutputs");
        s.taxesWithheld = t->textAt(u"TotalTaxesWithheld");
        s.invoiceTotal = t->textAt(u"InvoiceTotal");
        s.paymentsOnAccount = t->textAt(u"TotalPaymentsOnAccount");
        s.outstanding = t->textAt(u"TotalOutstandingAmount");
        s.executable = t->textAt(u"TotalExecutableAmount");
        s.reimbursable = t->textAt(u"TotalReimbursableExpenses");
    }
    if (const XmlElement* items = e.child(u"Items")) {
        const auto lines = items->all(u"InvoiceLine");
        inv.lines.reserve(qsizetype(lines.size()));
        for (const XmlElement* l : lines)
            inv.lines.push_back(readLine(*l));
    }
    if (const XmlElement* payment = e.child(u"PaymentDetails")) {
        for (const XmlElement* i : payment->all(u"Installment"))
            inv.installments.push_back(readInstallment(*i));
    }
    if (const XmlElement* literals = e.child(u"LegalLiterals")) {
        for (const XmlElement* l : literals->all(u"LegalReference"))
            inv.notes << l->text();
    }
    // The tax QR's line is taken out of the text: the copy shows it as the
    // code, or not at all.
    QString extra = e.textAt(u"AdditionalData/InvoiceAdditionalInformation");
    inv.taxQrAddress = TaxQrLine::take(extra);
    if (!extra.isEmpty())
        inv.notes << extra;
    return inv;
}

Signature readSignature(const XmlElement& root, const XmlElement& facturae) {
    Signature s;
    const XmlElement* signature =
        root.name() == u"Signature" ? &root : facturae.descendant(u"Signature");
    if (!signature)
        signature = root.descendant(u"Signature");
    if (!signature)
        return s;
    s.present = true;
    if (const XmlElement* time = signature->descendant(u"SigningTime"))
        s.signingTime = time->text();
    if (const XmlElement* cert = signature->descendant(u"X509Certificate")) {
        QByteArray base64;
        for (const QChar c : cert->text()) {
            if (!c.isSpace())
                base64.append(char(c.toLatin1()));
        }
        s.signerName = CertificateSummary::ofDer(
                           QByteArray::fromBase64(base64, QByteArray::AbortOnBase64DecodingErrors))
                           .name();
    }
    if (s.signerName.isEmpty()) {
        if (const XmlElement* subject = signature->descendant(u"X509SubjectName"))
            s.signerName = subject->text();
    }
    return s;
}

} // namespace

FacturaeDocument::Document FacturaeReader::read(const QByteArray& bytes) {
    XmlElement root;
    QString error;
    if (!XmlElement::parse(bytes, root, error))
        throw AppError(NotFacturae + QStringLiteral(": ") + error);
    // A document signed inside out keeps the invoice under the signature.
    const XmlElement* facturae = root.name() == u"Facturae" ? &root : root.descendant(u"Facturae");
    if (!facturae || !facturae->child(u"Parties") || !facturae->child(u"Invoices"))
        throw AppError(NotFacturae);

    Document doc;
    doc.schemaVersion = facturae->textAt(u"FileHeader/SchemaVersion");
    doc.batchCurrency = facturae->textAt(u"FileHeader/Batch/InvoiceCurrencyCode");
    doc.seller = readParty(facturae->find(u"Parties/SellerParty"));
    doc.buyer = readParty(facturae->find(u"Parties/BuyerParty"));
    for (const XmlElement* invoice : facturae->child(u"Invoices")->all(u"Invoice"))
        doc.invoices.push_back(readInvoice(*invoice, doc.batchCurrency));
    if (doc.invoices.isEmpty())
        throw AppError(QStringLiteral("La factura Facturae no contiene ninguna factura"));
    doc.signature = readSignature(root, *facturae);
    if (doc.signature.present && root.name() == u"Facturae") {
        // Only an enveloped signature can be checked here.
        doc.signature.checked = true;
        const SignatureReport report = SignatureVerifier::verify(bytes);
        doc.signature.valid = report.valid();
        doc.signature.trusted =
            std::any_of(report.findings.begin(), report.findings.end(), [](const auto& f) {
                return f.code == u"chain" && f.severity == SignatureFinding::Severity::Info;
            });
    }
    return doc;
}

AppError FacturaeReader::namedError(const QString& path, const AppError& error) {
    if (error.message().startsWith(NotFacturae))
        return AppError(QStringLiteral("«%1» ").arg(QFileInfo(path).fileName()) + error.message());
    return error;
}

FacturaeDocument::Document FacturaeReader::readFile(const QString& path) {
    const QByteArray bytes = BoundedFile::readDocument(path);
    try {
        return read(bytes);
    } catch (const AppError& e) {
        throw namedError(path, e);
    }
}
