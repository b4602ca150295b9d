#include "storage/CorrectionSection.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "storage/IniFile.h"

namespace CorrectionSection {

namespace {

QDate dateOf(const IniFile& ini, const char* key) {
    const QString section = QLatin1String(Name);
    const QString text = ini.readString(section, QLatin1String(key));
    if (text.isEmpty())
        return QDate();
    if (const auto date = ValueForms::parseDate(text))
        return *date;
    throw AppError(QStringLiteral("[%1] %2: «%3» %4; escriba una fecha válida como dd/mm/aaaa")
                       .arg(section, QLatin1String(key), text, ValueForms::dateProblem(text)));
}

} // namespace

std::optional<Correction> read(const IniFile& ini) {
    const QString section = QLatin1String(Name);
    if (!ini.hasSection(section))
        return std::nullopt;
    auto text = [&](const char* key, const QString& usual = QString()) {
        const QString value = ini.readString(section, QLatin1String(key));
        return value.isEmpty() ? usual : value;
    };
    Correction c;
    c.series = text("SERIE");
    c.number = text("FACTURA");
    c.issueDate = dateOf(ini, "FECHA");
    c.reasonCode = text("MOTIVO");
    c.method = text("METODO", c.method);
    c.kind = text("TIPO", c.kind).toUpper();
    c.periodStart = dateOf(ini, "PERIODOINICIO");
    c.periodEnd = dateOf(ini, "PERIODOFIN");
    // Without a period, the month of the corrected invoice.
    if (!c.periodStart.isValid() && !c.periodEnd.isValid() && c.issueDate.isValid())
        c.periodFromIssueMonth();
    if (const QString problem = c.problem(); !problem.isEmpty())
        throw AppError(QStringLiteral("[%1] %2").arg(section, problem));
    return c;
}

} // namespace CorrectionSection
