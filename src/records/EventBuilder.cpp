#include "records/EventBuilder.h"

#include "common/AppError.h"
#include "records/EventRules.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"

#include <string>

namespace EventBuilder {

namespace {

using RecordText::value;

// A free text cut to the schema's 100 characters; an anomaly or a note is
// logged shortened rather than not at all.
QString upTo100(const QString& text) {
    QString v = value(text);
    if (v.size() <= 100)
        return v;
    const qsizetype keep = v.at(98).isHighSurrogate() ? 98 : 99;
    return v.left(keep) + u'…';
}

QString count(qint64 n) {
    return QString::number(n);
}

void system(RecordXmlWriter& out, const SoftwareSystem& s, const Fingerprint::EventTexts& t) {
    out.start("sf:SistemaInformatico");
    out.text("sf:NombreRazon", value(s.producerName));
    out.text("sf:NIF", t.producerNif);
    out.text("sf:NombreSistemaInformatico", value(s.systemName));
    out.text("sf:IdSistemaInformatico", t.systemId);
    out.text("sf:Version", t.version);
    out.text("sf:NumeroInstalacion", t.installationNumber);
    out.text("sf:TipoUsoPosibleSoloVerifactu", RecordText::yesNo(s.onlyVerifactu));
    out.text("sf:TipoUsoPosibleMultiOT", RecordText::yesNo(s.multipleTaxpayersPossible));
    out.text("sf:IndicadorMultiplesOT", RecordText::yesNo(s.multipleTaxpayers));
    out.end();
}

void invoiceFields(RecordXmlWriter& out, const RecordRef& r) {
    out.text("sf:IDEmisorFactura", value(r.issuerNif));
    out.text("sf:NumSerieFactura", value(r.numSerie));
    out.text("sf:FechaExpedicionFactura", value(r.issueDate));
}

void recordWithHuella(RecordXmlWriter& out, const char* name, const RecordRef& r) {
    out.start(name);
    invoiceFields(out, r);
    out.text("sf:Huella", value(r.huella));
    out.end();
}

// RegEventoType and RegEventoAntType: the same three texts under two names
// for the time.
void eventFields(RecordXmlWriter& out, const char* timeName, const EventRef& e) {
    out.text("sf:TipoEvento", value(e.type));
    out.text(timeName, value(e.generatedAt));
    out.text("sf:HuellaEvento", value(e.huella));
}

void checkLaunch(RecordXmlWriter& out, const CheckLaunch& c, bool records) {
    out.start(records ? "sf:LanzamientoProcesoDeteccionAnomaliasRegFacturacion"
                      : "sf:LanzamientoProcesoDeteccionAnomaliasRegEvento");
    const std::string done = records ? "RegFacturacion" : "RegEvento";
    const std::string counted = records ? "sf:NumeroDeRegistrosFacturacionProcesadosSobre"
                                        : "sf:NumeroDeRegistrosEventoProcesadosSobre";
    const std::pair<const char*, std::optional<qint64>> processes[] = {
        {"IntegridadHuellas", c.fingerprints},
        {"IntegridadFirmas", c.signatures},
        {"TrazabilidadCadena", c.chain},
        {"TrazabilidadFechas", c.dates}};
    for (const auto& [process, processed] : processes) {
        out.text(("sf:RealizadoProcesoSobre" + std::string(process) + done).c_str(),
                 RecordText::yesNo(processed.has_value()));
        if (processed)
            out.text((counted + process).c_str(), count(*processed));
    }
    out.end();
}

void anomaly(RecordXmlWriter& out, const Anomaly& a, bool records) {
    out.start(records ? "sf:DeteccionAnomaliasRegFacturacion" : "sf:DeteccionAnomaliasRegEvento");
    out.text("sf:TipoAnomalia", anomalyTypeCode(a.type));
    if (!value(a.details).isEmpty())
        out.text("sf:OtrosDatosAnomalia", upTo100(a.details));
    if (records && a.record && EventRules::invoiceProblem(*a.record).isEmpty()) {
        out.start("sf:RegistroFacturacionAnomalo");
        invoiceFields(out, *a.record);
        out.end();
    }
    if (!records && a.event && EventRules::eventRefProblem(*a.event).isEmpty()) {
        out.start("sf:RegEventoAnomalo");
        eventFields(out, "sf:FechaHoraHusoEvento", *a.event);
        out.end();
    }
    out.end();
}

void period(RecordXmlWriter& out, const QDateTime& from, const QDateTime& to, Territory where) {
    out.text("sf:FechaHoraHusoInicioPeriodoExport", GenerationTime::text(from, where));
    out.text("sf:FechaHoraHusoFinPeriodoExport", GenerationTime::text(to, where));
}

void tallied(RecordXmlWriter& out, const RecordTally& t, const char* altas,
             const char* anulaciones) {
    out.text(altas, count(t.altas));
    out.text("sf:SumaCuotaTotalAlta", RecordText::twoDecimals(t.cuotaTotal));
    out.text("sf:SumaImporteTotalAlta", RecordText::twoDecimals(t.importeTotal));
    out.text(anulaciones, count(t.anulaciones));
}

void recordsExport(RecordXmlWriter& out, const RecordsExport& x, Territory where) {
    out.start("sf:ExportacionRegFacturacionPeriodo");
    period(out, x.from, x.to, where);
    recordWithHuella(out, "sf:RegistroFacturacionInicialPeriodo", *x.records.first);
    recordWithHuella(out, "sf:RegistroFacturacionFinalPeriodo", *x.records.last);
    tallied(out, x.records, "sf:NumeroDeRegistrosFacturacionAltaExportados",
            "sf:NumeroDeRegistrosFacturacionAnulacionExportados");
    out.text("sf:RegistrosFacturacionExportadosDejanDeConservarse",
             RecordText::yesNo(x.removedAfter));
    out.end();
}

void eventsExport(RecordXmlWriter& out, const EventsExport& x, Territory where) {
    out.start("sf:ExportacionRegEventoPeriodo");
    period(out, x.from, x.to, where);
    out.start("sf:RegistroEventoInicialPeriodo");
    eventFields(out, "sf:FechaHoraHusoEvento", x.first);
    out.end();
    out.start("sf:RegistroEventoFinalPeriodo");
    eventFields(out, "sf:FechaHoraHusoEvento", x.last);
    out.end();
    out.text("sf:NumeroDeRegEventoExportados", count(x.count));
    out.text("sf:RegEventoExportadosDejanDeConservarse", RecordText::yesNo(x.removedAfter));
    out.end();
}

void summary(RecordXmlWriter& out, const EventSummary& s) {
    out.start("sf:ResumenEventos");
    // The schema wants at least one type: a period without events says so
    // with no summaries in it.
    QMap<EventType, int> events;
    for (auto it = s.events.cbegin(); it != s.events.cend(); ++it) {
        if (it.value() > 0)
            events.insert(it.key(), it.value());
    }
    if (events.isEmpty())
        events.insert(EventType::Summary, 0);
    for (auto it = events.cbegin(); it != events.cend(); ++it) {
        out.start("sf:TipoEvento");
        out.text("sf:TipoEvento", eventTypeCode(it.key()));
        out.text("sf:NumeroDeEventos", count(it.value()));
        out.end();
    }
    if (s.records.first && s.records.last) {
        recordWithHuella(out, "sf:RegistroFacturacionInicialPeriodo", *s.records.first);
        recordWithHuella(out, "sf:RegistroFacturacionFinalPeriodo", *s.records.last);
    }
    tallied(out, s.records, "sf:NumeroDeRegistrosFacturacionAltaGenerados",
            "sf:NumeroDeRegistrosFacturacionAnulacionGenerados");
    out.end();
}

bool hasOwnData(EventType type) {
    return type != EventType::ModeStart && type != EventType::ModeEnd &&
           type != EventType::BackupRestored && type != EventType::Other;
}

void ownData(RecordXmlWriter& out, const EventRecord& e) {
    out.start("sf:DatosPropiosEvento");
    switch (e.type) {
    case EventType::RecordsCheck:
    case EventType::EventsCheck:
        checkLaunch(out, e.check, e.type == EventType::RecordsCheck);
        break;
    case EventType::RecordsAnomaly:
    case EventType::EventsAnomaly:
        anomaly(out, e.anomaly, e.type == EventType::RecordsAnomaly);
        break;
    case EventType::RecordsExported:
        recordsExport(out, e.recordsExport, e.territory);
        break;
    case EventType::EventsExported:
        eventsExport(out, e.eventsExport, e.territory);
        break;
    case EventType::Summary:
        summary(out, e.summary);
        break;
    default:
        break;
    }
    out.end();
}

} // namespace

Fingerprint::EventTexts fingerprintTexts(const EventRecord& e) {
    Fingerprint::EventTexts t;
    t.producerNif = value(e.system.producerNif);
    t.systemId = e.system.systemId;
    t.version = value(e.system.version);
    t.installationNumber = value(e.system.installationNumber);
    t.issuerNif = value(e.issuerNif);
    t.eventType = eventTypeCode(e.type);
    t.previousHuella = e.chain.first ? QString() : value(e.chain.previous.huella);
    t.generatedAt = GenerationTime::text(e.generatedAt, e.territory);
    return t;
}

BuiltEvent build(const EventRecord& e) {
    const QStringList problems = EventRules::formProblems(e);
    if (!problems.isEmpty())
        throw AppError(QStringLiteral("El registro de evento «%1» no se puede generar:\n%2")
                           .arg(eventTypeName(e.type), problems.join(u'\n')));

    const Fingerprint::EventTexts t = fingerprintTexts(e);
    BuiltEvent built;
    built.fingerprintInput = Fingerprint::input(t);
    built.huella = Fingerprint::of(built.fingerprintInput);
    built.reference = {t.eventType, t.generatedAt, built.huella};

    RecordXmlWriter out;
    out.start("sf:RegistroEvento", RecordNamespaces::eventDeclarations());
    out.text("sf:IDVersion", QStringLiteral("1.0"));
    out.start("sf:Evento");
    system(out, e.system, t);
    out.start("sf:ObligadoEmision");
    out.text("sf:NombreRazon", value(e.issuerName));
    out.text("sf:NIF", t.issuerNif);
    out.end();
    out.text("sf:FechaHoraHusoGenEvento", t.generatedAt);
    out.text("sf:TipoEvento", t.eventType);
    if (hasOwnData(e.type))
        ownData(out, e);
    if (!value(e.otherData).isEmpty())
        out.text("sf:OtrosDatosEvento", upTo100(e.otherData));
    out.start("sf:Encadenamiento");
    if (e.chain.first) {
        out.text("sf:PrimerEvento", QStringLiteral("S"));
    } else {
        out.start("sf:EventoAnterior");
        eventFields(out, "sf:FechaHoraHusoGenEvento", e.chain.previous);
        out.end();
    }
    out.end();
    out.text("sf:TipoHuella", QStringLiteral("01"));
    out.text("sf:HuellaEvento", built.huella);
    out.end();
    out.end();
    built.xml = out.take();
    return built;
}

} // namespace EventBuilder
