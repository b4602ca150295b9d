#include "records/RecordRules.h"

#include "common/AppError.h"
#include "facturae/TaxIdCheck.h"
#include "records/Fingerprint.h"
#include "records/GenerationTime.h"
#include "records/LegalDates.h"
#include "records/RecordText.h"

namespace RecordRules {

namespace {

constexpr int MaxDetails = 12;
constexpr int MaxCorrected = 1000;
constexpr int MaxRecipients = 1000;

class Checker {
public:
    QStringList problems;

    void add(const QString& text) { problems << text; }

    // A text field that must be there and fit.
    void text(const QString& value, int maxLength, const QString& field) {
        const QString v = RecordText::value(value);
        if (v.isEmpty())
            add(QStringLiteral("%1: falta; rellénelo").arg(field));
        else if (v.size() > maxLength)
            add(QStringLiteral("%1: tiene %2 caracteres y no puede pasar de %3; acórtelo")
                    .arg(field)
                    .arg(v.size())
                    .arg(maxLength));
    }

    void nif(const QString& value, const QString& field) {
        const QString problem = nifProblem(value);
        if (!problem.isEmpty())
            add(QStringLiteral("%1: %2").arg(field, problem));
    }

    void numSerie(const QString& value, const QString& field) {
        const QString problem = numSerieProblem(value);
        if (!problem.isEmpty())
            add(QStringLiteral("%1: %2").arg(field, problem));
    }

    void issueDate(const QDate& date, const QString& field) {
        if (!date.isValid()) {
            add(QStringLiteral("%1: falta la fecha de expedición").arg(field));
            return;
        }
        const QDate earliest = LegalDates::builtIn().earliestIssueDate;
        if (date < earliest)
            add(QStringLiteral("%1: la fecha %2 es anterior al %3, primer día que admite la "
                               "Agencia Tributaria; corrija la fecha")
                    .arg(field, RecordText::date(date), RecordText::date(earliest)));
    }

    void invoiceId(const InvoiceId& id, const QString& what, const QStringList& fields) {
        nif(id.issuerNif, QStringLiteral("%1 (%2)").arg(fields[0], what));
        numSerie(id.numSerie, QStringLiteral("%1 (%2)").arg(fields[1], what));
        issueDate(id.issueDate, QStringLiteral("%1 (%2)").arg(fields[2], what));
    }

    void amount(const Decimal& value, const QString& field) {
        static const Decimal limit = Decimal::fromInteger(1'000'000'000'000);
        if (value.decimals() > 2)
            add(QStringLiteral("%1: el importe %2 tiene más de dos decimales")
                    .arg(field, value.displayText(2)));
        if (value.abs() >= limit)
            add(QStringLiteral("%1: el importe %2 pasa de doce cifras enteras, el máximo que "
                               "admite la Agencia Tributaria")
                    .arg(field, value.displayText(2)));
    }

    void detail(const TaxDetail& d, int number) {
        const QString code = vatTreatmentCode(d.treatment);
        const QString where = QStringLiteral("DetalleDesglose %1 (%2)").arg(number).arg(code);
        if (d.rate.decimals() > 2)
            add(QStringLiteral("TipoImpositivo de %1: el tipo %2 %% tiene más de dos decimales; "
                               "la Agencia Tributaria solo admite dos")
                    .arg(where, d.rate.displayText(2)));
        if (d.rate.isNegative() || d.rate > Decimal::fromInteger(100))
            add(QStringLiteral("TipoImpositivo de %1: el tipo %2 %% no está entre 0 y 100")
                    .arg(where, d.rate.displayText(2)));
        if (d.treatment != VatTreatment::S1 && (!d.rate.isZero() || !d.quota.isZero()))
            add(QStringLiteral("%1: una operación %2 no lleva tipo ni cuota de IVA, y esta lleva "
                               "el tipo %3 %% y la cuota %4")
                    .arg(where,
                         d.treatment == VatTreatment::S2 ? QStringLiteral("con inversión del "
                                                                          "sujeto pasivo")
                         : isExempt(d.treatment)         ? QStringLiteral("exenta")
                                                         : QStringLiteral("no sujeta"),
                         d.rate.displayText(2), d.quota.displayText(2)));
        amount(d.base, QStringLiteral("BaseImponibleOimporteNoSujeto de %1").arg(where));
        amount(d.quota, QStringLiteral("CuotaRepercutida de %1").arg(where));
    }

    void recipient(const Recipient& r, int number) {
        const QString where = QStringLiteral("Destinatario %1").arg(number);
        text(r.name, 120, QStringLiteral("NombreRazon del %1").arg(where));
        if (!RecordText::value(r.nif).isEmpty()) {
            nif(r.nif, QStringLiteral("NIF del %1").arg(where));
            return;
        }
        static const QStringList idTypes = {QStringLiteral("02"), QStringLiteral("03"),
                                            QStringLiteral("04"), QStringLiteral("05"),
                                            QStringLiteral("06"), QStringLiteral("07")};
        const QString country = RecordText::value(r.countryCode);
        if (country.size() != 2 || !country.at(0).isUpper() || !country.at(1).isUpper() ||
            country.at(0).unicode() > u'Z' || country.at(1).unicode() > u'Z')
            add(QStringLiteral("CodigoPais del %1: «%2» no es un código de país de dos letras")
                    .arg(where, country));
        if (!idTypes.contains(RecordText::value(r.idType)))
            add(QStringLiteral("IDType del %1: «%2» no es un tipo de identificación admitido "
                               "(02 a 07)")
                    .arg(where, r.idType));
        text(r.otherId, 20, QStringLiteral("ID del %1").arg(where));
    }

    void system(const SoftwareSystem& s) {
        text(s.producerName, 120,
             QStringLiteral("NombreRazon del productor (SistemaInformatico); los datos del "
                            "productor del programa están incompletos"));
        nif(s.producerNif, QStringLiteral("NIF del productor (SistemaInformatico)"));
        text(s.systemName, 30, QStringLiteral("NombreSistemaInformatico"));
        if (s.systemId.size() != 2)
            add(QStringLiteral("IdSistemaInformatico: «%1» debe tener exactamente dos "
                               "caracteres")
                    .arg(s.systemId));
        text(s.version, 50, QStringLiteral("Version (SistemaInformatico)"));
        text(s.installationNumber, 100, QStringLiteral("NumeroInstalacion"));
    }

    void chain(const ChainLink& link) {
        if (link.first)
            return;
        invoiceId(link.previous, QStringLiteral("registro anterior"),
                  {QStringLiteral("IDEmisorFactura"), QStringLiteral("NumSerieFactura"),
                   QStringLiteral("FechaExpedicionFactura")});
        if (!Fingerprint::isWellFormed(link.previousHuella))
            add(QStringLiteral("Huella del registro anterior: «%1» no son 64 cifras "
                               "hexadecimales en mayúsculas")
                    .arg(link.previousHuella));
    }
};

void alta(Checker& c, const BillingRecord& r) {
    c.invoiceId(r.invoice, QStringLiteral("factura"),
                {QStringLiteral("IDEmisorFactura"), QStringLiteral("NumSerieFactura"),
                 QStringLiteral("FechaExpedicionFactura")});
    c.text(r.issuerName, 120, QStringLiteral("NombreRazonEmisor"));
    if (r.previousRejection != PreviousRejection::None && !r.subsanacion)
        c.add(QStringLiteral("RechazoPrevio: un alta con rechazo previo es una subsanación y "
                             "lleva Subsanacion=S"));
    if (isCorrective(r.type)) {
        if (r.corrected.isEmpty())
            c.add(QStringLiteral("FacturasRectificadas: una factura rectificativa (%1) nombra "
                                 "la factura que corrige")
                      .arg(invoiceTypeCode(r.type)));
        if (r.corrected.size() > MaxCorrected)
            c.add(QStringLiteral("FacturasRectificadas: no puede nombrar más de %1 facturas")
                      .arg(MaxCorrected));
        for (const InvoiceId& id : r.corrected)
            c.invoiceId(id, QStringLiteral("factura rectificada"),
                        {QStringLiteral("IDEmisorFactura"), QStringLiteral("NumSerieFactura"),
                         QStringLiteral("FechaExpedicionFactura")});
        if (r.correction == CorrectionKind::Substitution && !r.correctedAmounts)
            c.add(QStringLiteral("ImporteRectificacion: una rectificativa por sustitución lleva "
                                 "la base y la cuota de la factura que corrige"));
        if (r.correction == CorrectionKind::Differences && r.correctedAmounts)
            c.add(QStringLiteral("ImporteRectificacion: solo lo lleva una rectificativa por "
                                 "sustitución, no una por diferencias"));
        if (r.correctedAmounts) {
            c.amount(r.correctedAmounts->base, QStringLiteral("BaseRectificada"));
            c.amount(r.correctedAmounts->quota, QStringLiteral("CuotaRectificada"));
        }
    } else if (!r.corrected.isEmpty() || r.correctedAmounts) {
        c.add(QStringLiteral("FacturasRectificadas: solo una factura rectificativa (R1 a R4) "
                             "nombra facturas corregidas"));
    }
    c.text(r.description, 500, QStringLiteral("DescripcionOperacion"));
    if (r.recipients.isEmpty())
        c.add(QStringLiteral("Destinatarios: una factura completa nombra a su destinatario"));
    if (r.recipients.size() > MaxRecipients)
        c.add(QStringLiteral("Destinatarios: no puede haber más de %1").arg(MaxRecipients));
    for (int i = 0; i < r.recipients.size(); ++i)
        c.recipient(r.recipients[i], i + 1);
    if (r.details.isEmpty())
        c.add(QStringLiteral("Desglose: la factura no tiene ninguna línea de IVA"));
    if (r.details.size() > MaxDetails)
        c.add(QStringLiteral("Desglose: la factura combina %1 tipos de IVA y calificaciones, y "
                             "la Agencia Tributaria no admite más de %2; repártala en varias "
                             "facturas")
                  .arg(r.details.size())
                  .arg(MaxDetails));
    for (int i = 0; i < r.details.size(); ++i)
        c.detail(r.details[i], i + 1);
    c.amount(r.cuotaTotal(), QStringLiteral("CuotaTotal"));
    c.amount(r.importeTotal(), QStringLiteral("ImporteTotal"));
}

void anulacion(Checker& c, const BillingRecord& r) {
    c.invoiceId(r.invoice, QStringLiteral("factura anulada"),
                {QStringLiteral("IDEmisorFacturaAnulada"), QStringLiteral("NumSerieFacturaAnulada"),
                 QStringLiteral("FechaExpedicionFacturaAnulada")});
    if (r.previousRejection == PreviousRejection::NeverReceived)
        c.add(QStringLiteral("RechazoPrevio: una anulación solo admite S o N"));
}

} // namespace

QString nifProblem(const QString& nif) {
    const QString v = RecordText::value(nif);
    if (v.isEmpty())
        return QStringLiteral("falta el NIF; rellénelo");
    const TaxIdCheck::Result r = TaxIdCheck::check(v);
    const bool spanish = r.kind == TaxIdCheck::Kind::Person ||
                         r.kind == TaxIdCheck::Kind::Foreigner ||
                         r.kind == TaxIdCheck::Kind::Entity;
    if (spanish && r.valid && r.id == v)
        return {};
    return QStringLiteral("«%1» no es un NIF español válido de nueve caracteres (%2); corríjalo")
        .arg(v, r.problem.isEmpty() ? QStringLiteral("escríbalo en mayúsculas, sin espacios, "
                                                     "puntos ni guiones")
                                    : r.problem);
}

QString numSerieProblem(const QString& numSerie) {
    const QString v = RecordText::value(numSerie);
    if (v.isEmpty())
        return QStringLiteral("falta la serie y el número de la factura");
    if (v.size() > 60)
        return QStringLiteral("«%1» tiene %2 caracteres y la Agencia Tributaria no admite más de "
                              "60; acorte la serie o el número")
            .arg(v)
            .arg(v.size());
    for (const QChar c : v) {
        const char16_t u = c.unicode();
        if (u < 32 || u > 126 || u == u'"' || u == u'\'' || u == u'<' || u == u'>' || u == u'=')
            return QStringLiteral("«%1» lleva el carácter «%2», que la Agencia Tributaria no "
                                  "admite; use solo letras sin tilde, cifras y signos que no sean "
                                  "comillas, < > ni =")
                .arg(v, QString(c));
    }
    return {};
}

QStringList systemProblems(const SoftwareSystem& system) {
    Checker c;
    c.system(system);
    return c.problems;
}

QStringList formProblems(const BillingRecord& record) {
    Checker c;
    if (record.kind == BillingRecord::Kind::Alta)
        alta(c, record);
    else
        anulacion(c, record);
    c.chain(record.chain);
    c.system(record.system);
    if (!record.generatedAt.isValid())
        c.add(QStringLiteral("FechaHoraHusoGenRegistro: falta la fecha y hora de generación"));
    return c.problems;
}

QStringList problems(const BillingRecord& record, const QDate& today) {
    QStringList found = formProblems(record);
    if (record.invoice.issueDate.isValid() && record.invoice.issueDate > today)
        found << QStringLiteral("%1: la fecha %2 es posterior a hoy (%3); la Agencia Tributaria "
                                "no admite facturas con fecha futura")
                     .arg(record.kind == BillingRecord::Kind::Alta
                              ? QStringLiteral("FechaExpedicionFactura")
                              : QStringLiteral("FechaExpedicionFacturaAnulada"),
                          RecordText::date(record.invoice.issueDate), RecordText::date(today));
    return found;
}

void require(const BillingRecord& record, const QDate& today) {
    const QStringList found = problems(record, today);
    if (!found.isEmpty())
        throw AppError(QStringLiteral("El registro de facturación de la factura «%1» no se puede "
                                      "generar:\n%2")
                           .arg(RecordText::value(record.invoice.numSerie), found.join(u'\n')));
}

void requireClockNotBehind(const QDateTime& previousGeneratedAt, const QDateTime& now) {
    if (previousGeneratedAt <= now.addSecs(60))
        return;
    const QString shown = QStringLiteral("dd/MM/yyyy HH:mm:ss");
    throw AppError(QStringLiteral("El último registro de facturación se generó el %1 y el reloj "
                                  "del equipo marca %2: un registro nuevo quedaría fechado antes "
                                  "que el anterior. Ponga en hora el reloj del equipo y vuelva a "
                                  "intentarlo")
                       .arg(previousGeneratedAt.toString(shown),
                            now.toTimeZone(previousGeneratedAt.timeZone()).toString(shown)));
}

} // namespace RecordRules
