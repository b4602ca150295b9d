#include "facturae/PartyChecks.h"

#include "facturae/CheckReport.h"
#include "facturae/TaxIdCheck.h"
#include "facturae/XmlDocument.h"

#include <QRegularExpression>

using XmlNodes::child;
using XmlNodes::children;
using XmlNodes::descend;
using XmlNodes::text;

namespace PartyChecks {

namespace {

bool blank(const xmlNode* node) {
    return !node || text(node).trimmed().isEmpty();
}

// A text the document needs: missing or blank is an error at the element
// (or at its parent when it is missing).
void required(CheckReport& report, const xmlNode* parent, const char* name, const QString& what) {
    const xmlNode* node = child(parent, name);
    if (!parent || !blank(node))
        return;
    report.error("F-P4", node ? node : parent,
                 node ? QStringLiteral("%1 está en blanco.").arg(what)
                      : QStringLiteral("Falta %1.").arg(what.left(1).toLower() + what.mid(1)));
}

void checkTaxId(CheckReport& report, const xmlNode* identification, const QString& who) {
    const xmlNode* number = child(identification, "TaxIdentificationNumber");
    if (!identification)
        return;
    required(report, identification, "TaxIdentificationNumber",
             QStringLiteral("El NIF del %1").arg(who));
    if (blank(number))
        return;
    const QString written = text(number);
    const TaxIdCheck::Result result = TaxIdCheck::check(written);
    const bool resident = text(child(identification, "ResidenceTypeCode")).trimmed() == u"R" ||
                          !child(identification, "ResidenceTypeCode");
    if (result.kind == TaxIdCheck::Kind::OtherCountry || (!result.valid && !resident)) {
        report.warning("F-P1", number,
                       QStringLiteral("El identificador fiscal del %1 «%2» es extranjero y no se "
                                      "puede comprobar aquí.")
                           .arg(who, written));
        return;
    }
    if (!result.valid) {
        report.error("F-P1", number,
                     QStringLiteral("El NIF del %1 «%2» no es válido: %3.")
                         .arg(who, written, result.problem));
        return;
    }
    if (result.tidied)
        report.warning(
            "F-P1", number,
            QStringLiteral("El NIF del %1 se ha escrito «%2»; debe ir en mayúsculas, sin "
                           "espacios, puntos ni guiones: «%3».")
                .arg(who, written, result.id));
    const QString personType = text(child(identification, "PersonTypeCode")).trimmed();
    if (result.kind == TaxIdCheck::Kind::Entity && personType == u"F")
        report.warning(
            "F-P2", child(identification, "PersonTypeCode"),
            QStringLiteral("El NIF del %1 «%2» es de una entidad, pero figura como persona "
                           "física.")
                .arg(who, result.id));
    else if (result.kind != TaxIdCheck::Kind::Entity && personType == u"J")
        report.warning(
            "F-P2", child(identification, "PersonTypeCode"),
            QStringLiteral("El NIF del %1 «%2» es de una persona física, pero figura como "
                           "persona jurídica.")
                .arg(who, result.id));
}

void checkPostCode(CheckReport& report, const xmlNode* address, const QString& who) {
    const xmlNode* code = child(address, "PostCode");
    if (blank(code))
        return;
    const QString value = text(code).trimmed();
    static const QRegularExpression fiveDigits(QStringLiteral("^[0-9]{5}$"));
    if (!fiveDigits.match(value).hasMatch()) {
        report.error(
            "F-P3", code,
            QStringLiteral("El código postal del %1 «%2» no tiene cinco cifras.").arg(who, value));
        return;
    }
    const int province = value.left(2).toInt();
    if (province < 1 || province > 52)
        report.warning(
            "F-P3", code,
            QStringLiteral("El código postal del %1 «%2» no corresponde a ninguna provincia "
                           "(las dos primeras cifras van de 01 a 52).")
                .arg(who, value));
}

void checkAddress(CheckReport& report, const xmlNode* holder, const QString& who) {
    const xmlNode* spain = child(holder, "AddressInSpain");
    const xmlNode* overseas = child(holder, "OverseasAddress");
    if (spain) {
        required(report, spain, "Address", QStringLiteral("La dirección del %1").arg(who));
        required(report, spain, "PostCode", QStringLiteral("El código postal del %1").arg(who));
        required(report, spain, "Town", QStringLiteral("La población del %1").arg(who));
        required(report, spain, "Province", QStringLiteral("La provincia del %1").arg(who));
        checkPostCode(report, spain, who);
    } else if (overseas) {
        required(report, overseas, "Address", QStringLiteral("La dirección del %1").arg(who));
        required(report, overseas, "PostCodeAndTown",
                 QStringLiteral("El código postal y la población del %1").arg(who));
        required(report, overseas, "Province", QStringLiteral("La provincia del %1").arg(who));
    } else if (holder) {
        report.error("F-P4", holder, QStringLiteral("Falta la dirección del %1.").arg(who));
    }
}

void checkParty(CheckReport& report, const xmlNode* party, const QString& who) {
    if (!party)
        return;
    checkTaxId(report, child(party, "TaxIdentification"), who);
    if (const xmlNode* entity = child(party, "LegalEntity")) {
        required(report, entity, "CorporateName",
                 QStringLiteral("La razón social del %1").arg(who));
        checkAddress(report, entity, who);
    } else if (const xmlNode* person = child(party, "Individual")) {
        required(report, person, "Name", QStringLiteral("El nombre del %1").arg(who));
        required(report, person, "FirstSurname",
                 QStringLiteral("El primer apellido del %1").arg(who));
        checkAddress(report, person, who);
    }
}

QString roleName(const QString& role) {
    if (role == u"01")
        return QStringLiteral("oficina contable");
    if (role == u"02")
        return QStringLiteral("órgano gestor");
    if (role == u"03")
        return QStringLiteral("unidad tramitadora");
    return QStringLiteral("papel %1").arg(role);
}

void checkCentres(CheckReport& report, const xmlNode* centres) {
    if (!centres)
        return;
    static const QRegularExpression directoryForm(QStringLiteral("^[A-Z0-9]{9}$"));
    int count[4] = {0, 0, 0, 0};
    for (const xmlNode* centre : children(centres, "AdministrativeCentre")) {
        const xmlNode* roleNode = child(centre, "RoleTypeCode");
        const QString role = text(roleNode).trimmed();
        if (role == u"01" || role == u"02" || role == u"03") {
            ++count[role.toInt()];
        } else if (role.isEmpty()) {
            report.error(
                "F-C1", roleNode ? roleNode : centre,
                QStringLiteral("Un centro administrativo no indica su papel "
                               "(01 oficina contable, 02 órgano gestor, 03 unidad tramitadora)."));
        } else if (role != u"04") {
            report.warning("F-C1", roleNode,
                           QStringLiteral("Un centro administrativo tiene el papel %1; las "
                                          "administraciones esperan 01, 02 y 03.")
                               .arg(role));
        }
        const QString what = roleName(role.isEmpty() ? QStringLiteral("?") : role);
        const xmlNode* codeNode = child(centre, "CentreCode");
        const QString code = text(codeNode).trimmed();
        if (code.isEmpty())
            report.error("F-C1", codeNode ? codeNode : centre,
                         QStringLiteral("Falta el código del centro (%1).").arg(what));
        else if (!directoryForm.match(code).hasMatch())
            report.warning(
                "F-C2", codeNode,
                QStringLiteral("El código «%1» del centro (%2) no tiene la forma habitual del "
                               "directorio de las administraciones: nueve letras y cifras, "
                               "como L01150307.")
                    .arg(code, what));
        if (blank(child(centre, "Name")))
            report.error("F-C1", child(centre, "Name") ? child(centre, "Name") : centre,
                         QStringLiteral("Falta el nombre del centro (%1).").arg(what));
    }
    for (int role = 1; role <= 3; ++role) {
        const QString code = QStringLiteral("0%1").arg(role);
        if (count[role] == 0)
            report.error(
                "F-C1", centres,
                QStringLiteral("Falta el centro con el papel %1 (%2).").arg(code, roleName(code)));
        else if (count[role] > 1)
            report.error("F-C1", centres,
                         QStringLiteral("Hay %1 centros con el papel %2 (%3); debe haber uno.")
                             .arg(count[role])
                             .arg(code, roleName(code)));
    }
}

} // namespace

void run(const xmlNode* root, CheckReport& report) {
    const xmlNode* parties = child(root, "Parties");
    const QString seller = QStringLiteral("emisor");
    const QString buyer = QStringLiteral("cliente");
    checkParty(report, child(parties, "SellerParty"), seller);
    checkParty(report, child(parties, "BuyerParty"), buyer);
    checkCentres(report, descend(parties, {"BuyerParty", "AdministrativeCentres"}));
    for (const xmlNode* invoice : children(child(root, "Invoices"), "Invoice")) {
        const xmlNode* header = child(invoice, "InvoiceHeader");
        if (header)
            required(report, header, "InvoiceNumber", QStringLiteral("El número de factura"));
    }
}

} // namespace PartyChecks
