#include "records/IssuedInvoiceRecord.h"

#include "common/AppError.h"
#include "facturae/TaxIdCheck.h"
#include "facturae/XmlDocument.h"
#include "records/CountryCodes.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr int MaxDescription = 500;
const QString VatCode = QStringLiteral("01");

QString textAt(const xmlNode* node, std::initializer_list<const char*> path) {
    return XmlNodes::text(XmlNodes::descend(node, path)).trimmed();
}

// An amount or rate of the document; AppError naming the element otherwise.
Decimal decimalOf(const QString& text, const QString& element) {
    const QByteArray latin = text.toLatin1();
    Decimal value;
    if (text.isEmpty() ||
        Decimal::parseXml(latin.constData(), latin.size(), value) != Decimal::ParseStatus::Ok)
        throw AppError(QStringLiteral("El documento no tiene un número legible en %1 («%2»): no "
                                      "se puede hacer su registro de facturación")
                           .arg(element, text));
    return value;
}

// A Spanish tax id as the records write it (without an ES prefix, blanks or
// hyphens); another country's as written.
QString taxIdOf(const QString& written) {
    const TaxIdCheck::Result id = TaxIdCheck::check(written);
    switch (id.kind) {
    case TaxIdCheck::Kind::Person:
    case TaxIdCheck::Kind::Foreigner:
    case TaxIdCheck::Kind::Entity:
        return id.id;
    default:
        return written.trimmed();
    }
}

// A party's name: the corporate name, or name and surnames.
QString nameOf(const xmlNode* party) {
    if (const xmlNode* entity = XmlNodes::child(party, "LegalEntity"))
        return textAt(entity, {"CorporateName"});
    const xmlNode* person = XmlNodes::child(party, "Individual");
    QStringList parts;
    for (const char* part : {"Name", "FirstSurname", "SecondSurname"}) {
        const QString text = textAt(person, {part});
        if (!text.isEmpty())
            parts << text;
    }
    return parts.join(QLatin1Char(' '));
}

QString countryOf(const xmlNode* party) {
    for (const char* kind : {"LegalEntity", "Individual"}) {
        if (const xmlNode* person = XmlNodes::child(party, kind)) {
            for (const char* address : {"OverseasAddress", "AddressInSpain"}) {
                if (const xmlNode* a = XmlNodes::child(person, address))
                    return textAt(a, {"CountryCode"});
            }
        }
    }
    return {};
}

// The buyer: resident in Spain by its NIF; in another country of the Union by
// its VAT number (IDType 02), elsewhere by its country's id (04).
Recipient recipientOf(const xmlNode* buyer) {
    Recipient r;
    r.name = nameOf(buyer);
    const QString id = textAt(buyer, {"TaxIdentification", "TaxIdentificationNumber"});
    const QString residence = textAt(buyer, {"TaxIdentification", "ResidenceTypeCode"});
    if (residence.isEmpty() || residence == QLatin1String("R")) {
        r.nif = taxIdOf(id);
        return r;
    }
    r.otherId = id;
    r.idType = residence == QLatin1String("U") ? QStringLiteral("02") : QStringLiteral("04");
    const QString country = countryOf(buyer);
    r.countryCode = CountryCodes::alpha2(country);
    if (r.countryCode.isEmpty())
        r.countryCode = country; // the rules name it as not a country
    return r;
}

// The lines' descriptions one after another, cut to what the record holds.
QString descriptionOf(const std::vector<const xmlNode*>& lines, const QString& numSerie) {
    QString description;
    for (const xmlNode* line : lines) {
        // A long invoice's later lines would be cut off anyway.
        if (description.size() > MaxDescription)
            break;
        const QString text = textAt(line, {"ItemDescription"}).simplified();
        if (text.isEmpty())
            continue;
        if (!description.isEmpty())
            description += QStringLiteral("; ");
        description += text;
    }
    if (description.isEmpty())
        return QStringLiteral("Factura %1").arg(numSerie);
    if (description.size() > MaxDescription) {
        qsizetype cut = MaxDescription - 1;
        if (description.at(cut - 1).isHighSurrogate())
            --cut;
        description = description.left(cut).trimmed() + QChar(0x2026);
    }
    return description;
}

struct VatFigures {
    Decimal rate, base, tax;
};

// The VAT tax of a TaxesOutputs element's Tax; AppError for another tax.
VatFigures vatOf(const xmlNode* tax, const QString& where) {
    const QString type = textAt(tax, {"TaxTypeCode"});
    if (type != VatCode)
        throw AppError(QStringLiteral("%1 lleva un impuesto de código %2 y no IVA (01): Orvane "
                                      "solo hace registros de facturación de facturas con IVA")
                           .arg(where, type));
    return {decimalOf(textAt(tax, {"TaxRate"}), QStringLiteral("TaxRate de %1").arg(where)),
            decimalOf(textAt(tax, {"TaxableBase", "TotalAmount"}),
                      QStringLiteral("TaxableBase de %1").arg(where)),
            decimalOf(textAt(tax, {"TaxAmount", "TotalAmount"}),
                      QStringLiteral("TaxAmount de %1").arg(where))};
}

struct Line {
    VatTreatment treatment;
    VatFigures vat;
};

VatTreatment documentTreatment(const xmlNode* line, VatTreatment exemptDefault) {
    const QString event = textAt(line, {"SpecialTaxableEvent", "SpecialTaxableEventCode"});
    if (event == QLatin1String("01"))
        return exemptDefault;
    if (event == QLatin1String("02"))
        return VatTreatment::N1;
    return VatTreatment::S1;
}

QString treatmentName(VatTreatment t) {
    if (t == VatTreatment::S2)
        return QStringLiteral("con inversión del sujeto pasivo (S2)");
    if (isExempt(t))
        return QStringLiteral("exenta (%1)").arg(vatTreatmentCode(t));
    return QStringLiteral("no sujeta (%1)").arg(vatTreatmentCode(t));
}

Line lineOf(const xmlNode* node, int number, const IssuedInvoiceRecord::Inputs& inputs) {
    const QString where = QStringLiteral("La línea %1 de la factura").arg(number);
    const std::vector<const xmlNode*> taxes =
        XmlNodes::children(XmlNodes::child(node, "TaxesOutputs"), "Tax");
    if (taxes.size() != 1)
        throw AppError(QStringLiteral("%1 no lleva un solo IVA (lleva %2 impuestos): no se "
                                      "puede hacer su registro de facturación")
                           .arg(where)
                           .arg(taxes.size()));
    const qsizetype index = number - 1;
    const std::optional<VatTreatment> given =
        index < inputs.lineTreatments.size() ? inputs.lineTreatments[index] : std::nullopt;
    Line line{given ? *given : documentTreatment(node, inputs.exemptDefault),
              vatOf(taxes.front(), where)};
    if (line.treatment != VatTreatment::S1 && (!line.vat.rate.isZero() || !line.vat.tax.isZero()))
        throw AppError(QStringLiteral("%1 es una operación %2 y el documento le pone el tipo %3 %% "
                                      "y la cuota %4: una operación así va al 0 %% sin cuota; "
                                      "corrija la línea")
                           .arg(where, treatmentName(line.treatment), line.vat.rate.displayText(2),
                                line.vat.tax.displayText(2)));
    return line;
}

// The breakdown: per group of the document (one per rate) the lines of
// each other treatment at that rate, and the taxed rest.
QList<TaxDetail> detailsOf(const xmlNode* invoice, const QList<Line>& lines) {
    QList<TaxDetail> details;
    QList<bool> placed(lines.size(), false);
    const std::vector<const xmlNode*> groups =
        XmlNodes::children(XmlNodes::child(invoice, "TaxesOutputs"), "Tax");
    int groupNumber = 0;
    for (const xmlNode* group : groups) {
        ++groupNumber;
        const VatFigures g =
            vatOf(group, QStringLiteral("El grupo de IVA %1 de la factura").arg(groupNumber));
        TaxDetail taxed{VatTreatment::S1, g.rate, g.base, g.tax};
        bool taxedLines = false;
        QList<TaxDetail> others;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (placed[i] || lines[i].vat.rate != g.rate)
                continue;
            placed[i] = true;
            if (lines[i].treatment == VatTreatment::S1) {
                taxedLines = true;
                continue;
            }
            taxed.base -= lines[i].vat.base;
            auto same = std::find_if(others.begin(), others.end(), [&](const TaxDetail& d) {
                return d.treatment == lines[i].treatment;
            });
            if (same == others.end())
                others.append({lines[i].treatment, Decimal(), lines[i].vat.base, Decimal()});
            else
                same->base += lines[i].vat.base;
        }
        // A group of taxed lines, or one the document gives without lines.
        if (taxedLines || others.isEmpty() || !taxed.base.isZero() || !taxed.quota.isZero())
            details.append(taxed);
        details.append(others);
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!placed[i])
            throw AppError(QStringLiteral("La línea %1 de la factura lleva el tipo %2 %%, que no "
                                          "está entre los grupos de IVA del documento: el "
                                          "documento no cuadra y no se puede hacer su registro "
                                          "de facturación")
                               .arg(i + 1)
                               .arg(lines[i].vat.rate.displayText(2)));
    }
    return details;
}

} // namespace

namespace IssuedInvoiceRecord {

BillingRecord draft(const QByteArray& document, const Inputs& inputs) {
    const XmlDocument xml(document);
    if (!xml.isRead())
        throw AppError(QStringLiteral("El documento de la factura no se puede leer (%1): no se "
                                      "puede hacer su registro de facturación")
                           .arg(xml.problem()));
    const xmlNode* root = xml.root();
    const std::vector<const xmlNode*> invoices =
        XmlNodes::children(XmlNodes::child(root, "Invoices"), "Invoice");
    if (!XmlNodes::isNamed(root, "Facturae") || invoices.size() != 1)
        throw AppError(QStringLiteral("El documento no es una factura Facturae de una sola "
                                      "factura: no se puede hacer su registro de facturación"));
    const xmlNode* invoice = invoices.front();
    const xmlNode* seller = XmlNodes::descend(root, {"Parties", "SellerParty"});
    const xmlNode* buyer = XmlNodes::descend(root, {"Parties", "BuyerParty"});

    BillingRecord r;
    r.territory = inputs.territory;
    r.invoice.issuerNif = taxIdOf(textAt(seller, {"TaxIdentification", "TaxIdentificationNumber"}));
    if (!inputs.issuerNif.trimmed().isEmpty() && taxIdOf(inputs.issuerNif) != r.invoice.issuerNif)
        throw AppError(QStringLiteral("La factura es del NIF %1 y su NIF en Mis datos es %2: cada "
                                      "libro lleva los registros de un solo obligado tributario. "
                                      "Revise el NIF de Mis datos o el del emisor de la factura")
                           .arg(r.invoice.issuerNif, taxIdOf(inputs.issuerNif)));
    r.issuerName = inputs.issuerName.trimmed().isEmpty() ? nameOf(seller) : inputs.issuerName;

    const QString series = textAt(invoice, {"InvoiceHeader", "InvoiceSeriesCode"});
    const QString invoiceNumber = textAt(invoice, {"InvoiceHeader", "InvoiceNumber"});
    r.invoice.numSerie =
        series.isEmpty() ? invoiceNumber : series + QLatin1Char('-') + invoiceNumber;
    r.invoice.issueDate =
        QDate::fromString(textAt(invoice, {"InvoiceIssueData", "IssueDate"}), Qt::ISODate);
    r.type = InvoiceType::F1;
    r.recipients = {recipientOf(buyer)};

    const std::vector<const xmlNode*> lineNodes =
        XmlNodes::children(XmlNodes::child(invoice, "Items"), "InvoiceLine");
    r.description = descriptionOf(lineNodes, r.invoice.numSerie);
    QList<Line> lines;
    for (const xmlNode* node : lineNodes)
        lines.append(lineOf(node, int(lines.size()) + 1, inputs));
    r.details = detailsOf(invoice, lines);

    const xmlNode* totals = XmlNodes::child(invoice, "InvoiceTotals");
    const Decimal bases = decimalOf(textAt(totals, {"TotalGrossAmountBeforeTaxes"}),
                                    QStringLiteral("TotalGrossAmountBeforeTaxes"));
    const Decimal taxes =
        decimalOf(textAt(totals, {"TotalTaxOutputs"}), QStringLiteral("TotalTaxOutputs"));
    if (r.cuotaTotal() != taxes || r.importeTotal() != bases + taxes)
        throw AppError(QStringLiteral("Los grupos de IVA de la factura suman %1 de base y %2 de "
                                      "cuota, y sus totales dicen %3 y %4: el documento no "
                                      "cuadra y no se puede hacer su registro de facturación")
                           .arg((r.importeTotal() - r.cuotaTotal()).displayText(2),
                                r.cuotaTotal().displayText(2), bases.displayText(2),
                                taxes.displayText(2)));
    return r;
}

} // namespace IssuedInvoiceRecord
