#include "records/QrAddress.h"

#include "common/AppError.h"
#include "records/RecordRules.h"
#include "records/RecordText.h"

#include <QRegularExpression>
#include <QUrl>

namespace QrAddress {

namespace {

const char ProductionHost[] = "https://www2.agenciatributaria.gob.es";
const char TestHost[] = "https://prewww2.aeat.es";
const char Path[] = "/wlpl/TIKE-CONT/";
const char VerifactuService[] = "ValidarQR";
const char NoVerifactuService[] = "ValidarQRNoVerifactu";

// The first rule a part breaks, in Spanish; empty when none.
QString problem(const Parts& p) {
    const QString nif = RecordRules::nifProblem(p.nif);
    if (!nif.isEmpty())
        return QStringLiteral("el NIF del código QR: %1").arg(nif);
    const QString numSerie = RecordRules::numSerieProblem(p.numSerie);
    if (!numSerie.isEmpty())
        return QStringLiteral("la serie y número del código QR: %1").arg(numSerie);
    static const QRegularExpression dateForm(QStringLiteral("^[0-9]{2}-[0-9]{2}-[0-9]{4}$"));
    if (!dateForm.match(p.date).hasMatch() ||
        !QDate::fromString(p.date, QStringLiteral("dd-MM-yyyy")).isValid())
        return QStringLiteral("la fecha «%1» del código QR no es una fecha dd-mm-aaaa").arg(p.date);
    static const QRegularExpression amountForm(QStringLiteral(R"(^-?[0-9]{1,12}(\.[0-9]{1,2})?$)"));
    if (!amountForm.match(p.amount).hasMatch())
        return QStringLiteral("el importe «%1» del código QR no tiene la forma que admite la "
                              "Agencia Tributaria (punto decimal, hasta 12 cifras enteras y 2 "
                              "decimales)")
            .arg(p.amount);
    return {};
}

QString encoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

// A raw query value holds only unreserved characters and %XX escapes.
bool properlyEncoded(QStringView raw) {
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        const bool unreserved = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                                (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u'_' ||
                                c == u'~';
        if (unreserved)
            continue;
        auto hex = [&raw](qsizetype at) {
            if (at >= raw.size())
                return false;
            const char16_t h = raw[at].unicode();
            return (h >= u'0' && h <= u'9') || (h >= u'A' && h <= u'F') || (h >= u'a' && h <= u'f');
        };
        if (c != u'%' || !hex(i + 1) || !hex(i + 2))
            return false;
        i += 2;
    }
    return true;
}

} // namespace

QString build(const Parts& parts) {
    const QString found = problem(parts);
    if (!found.isEmpty())
        throw AppError(QStringLiteral("No se puede formar la dirección del código QR tributario: "
                                      "%1")
                           .arg(found));
    return QString::fromLatin1(parts.host == Host::Production ? ProductionHost : TestHost) +
           QString::fromLatin1(Path) +
           QString::fromLatin1(parts.service == Service::Verifactu ? VerifactuService
                                                                   : NoVerifactuService) +
           QStringLiteral("?nif=") + encoded(parts.nif) + QStringLiteral("&numserie=") +
           encoded(parts.numSerie) + QStringLiteral("&fecha=") + encoded(parts.date) +
           QStringLiteral("&importe=") + encoded(parts.amount);
}

QString forRecord(const BillingRecord& record, Service service, Host host) {
    Parts parts;
    parts.service = service;
    parts.host = host;
    parts.nif = RecordText::value(record.invoice.issuerNif);
    parts.numSerie = RecordText::value(record.invoice.numSerie);
    parts.date = RecordText::date(record.invoice.issueDate);
    parts.amount = RecordText::twoDecimals(record.importeTotal());
    return build(parts);
}

std::optional<Parts> read(const QString& address) {
    Parts parts;
    QStringView rest(address);
    const QString production = QString::fromLatin1(ProductionHost) + QString::fromLatin1(Path);
    const QString test = QString::fromLatin1(TestHost) + QString::fromLatin1(Path);
    if (rest.startsWith(production)) {
        parts.host = Host::Production;
        rest = rest.mid(production.size());
    } else if (rest.startsWith(test)) {
        parts.host = Host::Test;
        rest = rest.mid(test.size());
    } else {
        return std::nullopt;
    }
    const qsizetype question = rest.indexOf(u'?');
    if (question < 0)
        return std::nullopt;
    const QStringView service = rest.left(question);
    if (service == QLatin1String(VerifactuService))
        parts.service = Service::Verifactu;
    else if (service == QLatin1String(NoVerifactuService))
        parts.service = Service::NoVerifactu;
    else
        return std::nullopt;

    const auto pairs = rest.mid(question + 1).split(u'&');
    if (pairs.size() != 4)
        return std::nullopt;
    QString* targets[4] = {&parts.nif, &parts.numSerie, &parts.date, &parts.amount};
    const char* names[4] = {"nif", "numserie", "fecha", "importe"};
    bool seen[4] = {};
    for (const QStringView pair : pairs) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals < 0)
            return std::nullopt;
        const QStringView name = pair.left(equals);
        const QStringView raw = pair.mid(equals + 1);
        if (!properlyEncoded(raw))
            return std::nullopt;
        int which = -1;
        for (int i = 0; i < 4; ++i) {
            if (name == QLatin1String(names[i]))
                which = i;
        }
        if (which < 0 || seen[which])
            return std::nullopt;
        seen[which] = true;
        *targets[which] = QString::fromUtf8(QByteArray::fromPercentEncoding(raw.toLatin1()));
    }
    if (!problem(parts).isEmpty())
        return std::nullopt;
    return parts;
}

} // namespace QrAddress
