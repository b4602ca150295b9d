#include "records/EventRules.h"

#include "records/Fingerprint.h"
#include "records/RecordRules.h"
#include "records/RecordText.h"

#include <QRegularExpression>

namespace EventRules {

namespace {

// Counts the schema bounds by their number of digits.
constexpr qint64 Max4 = 9'999;
constexpr qint64 Max5 = 99'999;
constexpr qint64 Max6 = 999'999;
constexpr qint64 Max7 = 9'999'999;
constexpr qint64 Max9 = 999'999'999;

class Checker {
public:
    QStringList problems;

    void add(const QString& text) { problems << text; }

    void count(qint64 value, qint64 max, const QString& field) {
        if (value < 0 || value > max)
            add(QStringLiteral("%1: %2 no está entre 0 y %3").arg(field).arg(value).arg(max));
    }

    void amount(const Decimal& value, const QString& field) {
        static const Decimal limit = Decimal::fromInteger(1'000'000'000'000);
        if (value.decimals() > 2 || value.abs() >= limit)
            add(QStringLiteral("%1: el importe %2 no cabe en doce cifras enteras y dos decimales")
                    .arg(field, value.displayText(2)));
    }

    void time(const QDateTime& value, const QString& field) {
        if (!value.isValid())
            add(QStringLiteral("%1: falta la fecha y hora").arg(field));
    }

    void period(const QDateTime& from, const QDateTime& to) {
        time(from, QStringLiteral("FechaHoraHusoInicioPeriodoExport"));
        time(to, QStringLiteral("FechaHoraHusoFinPeriodoExport"));
        if (from.isValid() && to.isValid() && to < from)
            add(QStringLiteral("FechaHoraHusoFinPeriodoExport: el periodo acaba antes de empezar"));
    }

    void record(const std::optional<RecordRef>& ref, const QString& field) {
        const QString problem = ref ? recordRefProblem(*ref) : QStringLiteral("falta");
        if (!problem.isEmpty())
            add(QStringLiteral("%1: %2").arg(field, problem));
    }

    void event(const EventRef& ref, const QString& field) {
        const QString problem = eventRefProblem(ref);
        if (!problem.isEmpty())
            add(QStringLiteral("%1: %2").arg(field, problem));
    }

    void tally(const RecordTally& t, qint64 max, bool needsRecords) {
        if (needsRecords || t.first || t.last) {
            record(t.first, QStringLiteral("RegistroFacturacionInicialPeriodo"));
            record(t.last, QStringLiteral("RegistroFacturacionFinalPeriodo"));
        }
        count(t.altas, max, QStringLiteral("número de registros de alta"));
        count(t.anulaciones, max, QStringLiteral("número de registros de anulación"));
        amount(t.cuotaTotal, QStringLiteral("SumaCuotaTotalAlta"));
        amount(t.importeTotal, QStringLiteral("SumaImporteTotalAlta"));
    }

    void check(const CheckLaunch& c, qint64 max) {
        for (const auto& processed : {c.fingerprints, c.signatures, c.chain, c.dates}) {
            if (processed)
                count(*processed, max, QStringLiteral("número de elementos comprobados"));
        }
    }
};

bool isDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\d{2}-\\d{2}-\\d{4}$"));
    return form.match(text).hasMatch();
}

} // namespace

QString invoiceProblem(const RecordRef& r) {
    if (RecordText::value(r.issuerNif).size() != 9)
        return QStringLiteral("el NIF del emisor «%1» no tiene nueve caracteres").arg(r.issuerNif);
    const QString numSerie = RecordText::value(r.numSerie);
    if (numSerie.isEmpty() || numSerie.size() > 60)
        return QStringLiteral("la serie y número «%1» no tiene de 1 a 60 caracteres").arg(numSerie);
    if (!isDate(RecordText::value(r.issueDate)))
        return QStringLiteral("la fecha de expedición «%1» no es dd-mm-aaaa").arg(r.issueDate);
    return {};
}

QString recordRefProblem(const RecordRef& r) {
    if (const QString problem = invoiceProblem(r); !problem.isEmpty())
        return problem;
    if (!Fingerprint::isWellFormed(RecordText::value(r.huella)))
        return QStringLiteral("la huella «%1» no son 64 cifras hexadecimales en mayúsculas")
            .arg(r.huella);
    return {};
}

QString eventRefProblem(const EventRef& e) {
    if (!eventTypeFromCode(RecordText::value(e.type)))
        return QStringLiteral("«%1» no es un tipo de evento").arg(e.type);
    if (!GenerationTime::parse(RecordText::value(e.generatedAt)))
        return QStringLiteral("la fecha y hora «%1» no es aaaa-mm-ddThh:mm:ss±hh:mm")
            .arg(e.generatedAt);
    if (!Fingerprint::isWellFormed(RecordText::value(e.huella)))
        return QStringLiteral("la huella «%1» no son 64 cifras hexadecimales en mayúsculas")
            .arg(e.huella);
    return {};
}

QStringList formProblems(const EventRecord& e) {
    Checker c;
    c.problems = RecordRules::systemProblems(e.system);
    const QString name = RecordText::value(e.issuerName);
    if (name.isEmpty() || name.size() > 120)
        c.add(QStringLiteral("NombreRazon del obligado (ObligadoEmision): necesita de 1 a 120 "
                             "caracteres; revise Mis datos"));
    const QString nif = RecordRules::nifProblem(e.issuerNif);
    if (!nif.isEmpty())
        c.add(QStringLiteral("NIF del obligado (ObligadoEmision): %1").arg(nif));
    c.time(e.generatedAt, QStringLiteral("FechaHoraHusoGenEvento"));
    if (!e.chain.first)
        c.event(e.chain.previous, QStringLiteral("EventoAnterior"));

    switch (e.type) {
    case EventType::RecordsCheck:
        c.check(e.check, Max7);
        break;
    case EventType::EventsCheck:
        c.check(e.check, Max5);
        break;
    case EventType::RecordsExported:
        c.period(e.recordsExport.from, e.recordsExport.to);
        c.tally(e.recordsExport.records, Max9, true);
        break;
    case EventType::EventsExported:
        c.period(e.eventsExport.from, e.eventsExport.to);
        c.event(e.eventsExport.first, QStringLiteral("RegistroEventoInicialPeriodo"));
        c.event(e.eventsExport.last, QStringLiteral("RegistroEventoFinalPeriodo"));
        c.count(e.eventsExport.count, Max7, QStringLiteral("NumeroDeRegEventoExportados"));
        break;
    case EventType::Summary:
        for (auto it = e.summary.events.cbegin(); it != e.summary.events.cend(); ++it)
            c.count(it.value(), Max4,
                    QStringLiteral("NumeroDeEventos de tipo %1").arg(eventTypeCode(it.key())));
        c.tally(e.summary.records, Max6, false);
        break;
    default:
        break;
    }
    return c.problems;
}

} // namespace EventRules
