#include "records/RecordBuilder.h"

#include "common/AppError.h"
#include "records/RecordRules.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"

namespace RecordBuilder {

namespace {

using RecordText::value;

void idFields(RecordXmlWriter& out, const InvoiceId& id) {
    out.text("sum1:IDEmisorFactura", value(id.issuerNif));
    out.text("sum1:NumSerieFactura", value(id.numSerie));
    out.text("sum1:FechaExpedicionFactura", RecordText::date(id.issueDate));
}

void recipients(RecordXmlWriter& out, const QList<Recipient>& list) {
    out.start("sum1:Destinatarios");
    for (const Recipient& r : list) {
        out.start("sum1:IDDestinatario");
        out.text("sum1:NombreRazon", value(r.name));
        if (!value(r.nif).isEmpty()) {
            out.text("sum1:NIF", value(r.nif));
        } else {
            out.start("sum1:IDOtro");
            out.text("sum1:CodigoPais", value(r.countryCode));
            out.text("sum1:IDType", value(r.idType));
            out.text("sum1:ID", value(r.otherId));
            out.end();
        }
        out.end();
    }
    out.end();
}

void breakdown(RecordXmlWriter& out, const QList<TaxDetail>& details) {
    out.start("sum1:Desglose");
    for (const TaxDetail& d : details) {
        out.start("sum1:DetalleDesglose");
        out.text("sum1:Impuesto", QStringLiteral("01"));
        out.text("sum1:ClaveRegimen", QStringLiteral("01"));
        const QString code = vatTreatmentCode(d.treatment);
        if (isExempt(d.treatment)) {
            out.text("sum1:OperacionExenta", code);
            out.text("sum1:BaseImponibleOimporteNoSujeto", RecordText::twoDecimals(d.base));
        } else if (isNotSubject(d.treatment)) {
            out.text("sum1:CalificacionOperacion", code);
            out.text("sum1:BaseImponibleOimporteNoSujeto", RecordText::twoDecimals(d.base));
        } else {
            // S2 is written at rate 0 with tax 0: the customer pays the tax.
            const bool reverse = d.treatment == VatTreatment::S2;
            out.text("sum1:CalificacionOperacion", code);
            out.text("sum1:TipoImpositivo", RecordText::twoDecimals(reverse ? Decimal() : d.rate));
            out.text("sum1:BaseImponibleOimporteNoSujeto", RecordText::twoDecimals(d.base));
            out.text("sum1:CuotaRepercutida",
                     RecordText::twoDecimals(reverse ? Decimal() : d.quota));
        }
        out.end();
    }
    out.end();
}

void chain(RecordXmlWriter& out, const ChainLink& link, const QString& previousHuella) {
    out.start("sum1:Encadenamiento");
    if (link.first) {
        out.text("sum1:PrimerRegistro", QStringLiteral("S"));
    } else {
        out.start("sum1:RegistroAnterior");
        idFields(out, link.previous);
        out.text("sum1:Huella", previousHuella);
        out.end();
    }
    out.end();
}

void system(RecordXmlWriter& out, const SoftwareSystem& s) {
    out.start("sum1:SistemaInformatico");
    out.text("sum1:NombreRazon", value(s.producerName));
    out.text("sum1:NIF", value(s.producerNif));
    out.text("sum1:NombreSistemaInformatico", value(s.systemName));
    out.text("sum1:IdSistemaInformatico", s.systemId);
    out.text("sum1:Version", value(s.version));
    out.text("sum1:NumeroInstalacion", value(s.installationNumber));
    out.text("sum1:TipoUsoPosibleSoloVerifactu", RecordText::yesNo(s.onlyVerifactu));
    out.text("sum1:TipoUsoPosibleMultiOT", RecordText::yesNo(s.multipleTaxpayersPossible));
    out.text("sum1:IndicadorMultiplesOT", RecordText::yesNo(s.multipleTaxpayers));
    out.end();
}

void altaBody(RecordXmlWriter& out, const BillingRecord& r, const Fingerprint::RecordTexts& t) {
    out.start("sum1:IDFactura");
    out.text("sum1:IDEmisorFactura", t.issuerNif);
    out.text("sum1:NumSerieFactura", t.numSerie);
    out.text("sum1:FechaExpedicionFactura", t.issueDate);
    out.end();
    out.text("sum1:NombreRazonEmisor", value(r.issuerName));
    if (r.subsanacion)
        out.text("sum1:Subsanacion", QStringLiteral("S"));
    if (r.previousRejection != PreviousRejection::None)
        out.text("sum1:RechazoPrevio", r.previousRejection == PreviousRejection::Rejected
                                           ? QStringLiteral("S")
                                           : QStringLiteral("X"));
    out.text("sum1:TipoFactura", t.invoiceType);
    if (isCorrective(r.type)) {
        const bool substitution = r.correction == CorrectionKind::Substitution;
        out.text("sum1:TipoRectificativa",
                 substitution ? QStringLiteral("S") : QStringLiteral("I"));
        out.start("sum1:FacturasRectificadas");
        for (const InvoiceId& id : r.corrected) {
            out.start("sum1:IDFacturaRectificada");
            idFields(out, id);
            out.end();
        }
        out.end();
        if (substitution && r.correctedAmounts) {
            out.start("sum1:ImporteRectificacion");
            out.text("sum1:BaseRectificada", RecordText::twoDecimals(r.correctedAmounts->base));
            out.text("sum1:CuotaRectificada", RecordText::twoDecimals(r.correctedAmounts->quota));
            out.end();
        }
    }
    out.text("sum1:DescripcionOperacion", value(r.description));
    recipients(out, r.recipients);
    breakdown(out, r.details);
    out.text("sum1:CuotaTotal", t.cuotaTotal);
    out.text("sum1:ImporteTotal", t.importeTotal);
}

void anulacionBody(RecordXmlWriter& out, const BillingRecord& r,
                   const Fingerprint::RecordTexts& t) {
    out.start("sum1:IDFactura");
    out.text("sum1:IDEmisorFacturaAnulada", t.issuerNif);
    out.text("sum1:NumSerieFacturaAnulada", t.numSerie);
    out.text("sum1:FechaExpedicionFacturaAnulada", t.issueDate);
    out.end();
    if (r.withoutPriorRecord)
        out.text("sum1:SinRegistroPrevio", QStringLiteral("S"));
    if (r.previousRejection == PreviousRejection::Rejected)
        out.text("sum1:RechazoPrevio", QStringLiteral("S"));
}

} // namespace

Fingerprint::RecordTexts fingerprintTexts(const BillingRecord& r) {
    Fingerprint::RecordTexts t;
    t.anulacion = r.kind == BillingRecord::Kind::Anulacion;
    t.issuerNif = value(r.invoice.issuerNif);
    t.numSerie = value(r.invoice.numSerie);
    t.issueDate = RecordText::date(r.invoice.issueDate);
    if (!t.anulacion) {
        t.invoiceType = invoiceTypeCode(r.type);
        t.cuotaTotal = RecordText::twoDecimals(r.cuotaTotal());
        t.importeTotal = RecordText::twoDecimals(r.importeTotal());
    }
    t.previousHuella = r.chain.first ? QString() : value(r.chain.previousHuella);
    t.generatedAt = GenerationTime::text(r.generatedAt, r.territory);
    return t;
}

BuiltRecord build(const BillingRecord& r) {
    const QStringList problems = RecordRules::formProblems(r);
    if (!problems.isEmpty())
        throw AppError(QStringLiteral("El registro de facturación de la factura «%1» no se puede "
                                      "generar:\n%2")
                           .arg(value(r.invoice.numSerie), problems.join(u'\n')));

    const Fingerprint::RecordTexts t = fingerprintTexts(r);
    BuiltRecord built;
    built.fingerprintInput = Fingerprint::input(t);
    built.huella = Fingerprint::of(built.fingerprintInput);

    const bool alta = r.kind == BillingRecord::Kind::Alta;
    const char* root = alta ? "sum1:RegistroAlta" : "sum1:RegistroAnulacion";
    RecordXmlWriter out;
    out.start(root, RecordNamespaces::declarations());
    out.text("sum1:IDVersion", QStringLiteral("1.0"));
    if (alta)
        altaBody(out, r, t);
    else
        anulacionBody(out, r, t);
    chain(out, r.chain, t.previousHuella);
    system(out, r.system);
    out.text("sum1:FechaHoraHusoGenRegistro", t.generatedAt);
    out.text("sum1:TipoHuella", QStringLiteral("01"));
    out.text("sum1:Huella", built.huella);
    out.end();
    built.xml = out.take();
    return built;
}

} // namespace RecordBuilder
