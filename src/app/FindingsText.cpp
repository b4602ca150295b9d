#include "app/FindingsText.h"

#include "invoice/PartyFields.h"

#include <QRegularExpression>

#include <algorithm>

namespace FindingsText {

namespace {

const QString Lines = QStringLiteral("Detalle Factura");
const QString Payment = QStringLiteral("Forma de Pago");
const QString Totals = QStringLiteral("Totales Factura");
const QString NoLines = QStringLiteral("La factura no tiene ninguna línea.");

// The path's steps without their positions: "/a/b[2]/c" gives a, b, c.
QStringList steps(const QString& path) {
    static const QRegularExpression position(QStringLiteral("\\[\\d+\\]"));
    QString bare = path;
    bare.remove(position);
    return bare.split(u'/', Qt::SkipEmptyParts);
}

QString named(const QString& caption, const QString& group) {
    return QStringLiteral("%1 (%2)").arg(caption, group);
}

// The schema says an invoice has a line and a tax: both mean no line at all.
bool saysNoLines(const CheckFinding& f) {
    return f.code == u"F-XSD" && (f.message.startsWith(QStringLiteral("Falta «InvoiceLine»")) ||
                                  f.message.startsWith(QStringLiteral("Falta «Tax» dentro de "
                                                                      "«TaxesOutputs»")));
}

// A schema message names the element; the person knows the field's caption.
QString readable(const CheckFinding& f, const QString& field) {
    if (saysNoLines(f))
        return NoLines;
    if (f.code != u"F-XSD" || field.isEmpty())
        return f.message;
    const QStringList s = steps(f.path);
    const QString caption = field.section(QStringLiteral(" ("), 0, 0);
    QString message = f.message;
    if (!s.isEmpty())
        message.replace(QStringLiteral("«%1»").arg(s.last()), QStringLiteral("«%1»").arg(caption));
    return message;
}

struct Entry {
    QString field;
    int rank = 0;
    bool error = false;
    bool ruleError = false; // a rule's error explains the field: the schema's adds nothing
    QStringList schema, rules;
};

// A field and where it is on screen, top to bottom: the issuer, the customer,
// the lines, the payment, the totals; what no field shows comes last.
struct Place {
    QString field;
    int rank = 1000000;
};

Place locate(const QString& path) {
    const QStringList s = steps(path);
    if (s.isEmpty())
        return {};
    static const QRegularExpression line(QStringLiteral("/InvoiceLine\\[(\\d+)\\]"));
    if (const QRegularExpressionMatch m = line.match(path); m.hasMatch())
        return {named(QStringLiteral("Línea %1").arg(m.captured(1)), Lines),
                20000 + m.captured(1).toInt()};
    const int party = s.contains(QStringLiteral("SellerParty"))  ? 0
                      : s.contains(QStringLiteral("BuyerParty")) ? 1
                                                                 : -1;
    if (party >= 0) {
        const QString group = party == 0 ? QStringLiteral("Mis Datos") : QStringLiteral("Cliente");
        const int base = party * 100;
        if (s.contains(QStringLiteral("AdministrativeCentres")))
            return {named(QStringLiteral("Admón. del estado."), group), base};
        if (s.last() == u"PersonTypeCode")
            return {named(QStringLiteral("Pers.Jurídica / Pers. Física"), group), base + 1};
        for (const PartyFieldInfo& info : PartyFields::all()) {
            if (s.last() == QLatin1String(info.element))
                return {named(QString::fromUtf8(info.label), group), base + 2 + int(info.field)};
        }
        return {};
    }
    struct Field {
        const char* element;
        const char* caption;
        const QString& group;
        int rank;
    };
    static const Field fields[] = {{"Items", "", Lines, 10000},
                                   {"AccountToBeCredited", "IBAN", Payment, 30001},
                                   {"InvoiceSeriesCode", "Número Factura", Payment, 30002},
                                   {"InvoiceNumber", "Número Factura", Payment, 30002},
                                   {"IssueDate", "Fecha", Payment, 30003},
                                   {"InstallmentDueDate", "Fecha Vencimiento", Payment, 30004},
                                   {"TaxesWithheld", "I.R.P.F.", Totals, 40001},
                                   {"InvoiceTotals", "", Totals, 40000},
                                   {"TaxesOutputs", "", Totals, 40000}};
    for (const Field& f : fields) {
        if (s.contains(QLatin1String(f.element)))
            return {*f.caption ? named(QString::fromUtf8(f.caption), f.group) : f.group, f.rank};
    }
    return {};
}

} // namespace

QString fieldOf(const QString& path) {
    return locate(path).field;
}

QString list(const CheckFindings& findings) {
    QList<Entry> entries;
    for (const CheckFinding& f : findings) {
        if (f.severity == CheckFinding::Severity::Info)
            continue;
        const Place place = saysNoLines(f) ? Place{Lines, 10000} : locate(f.path);
        const QString& field = place.field;
        Entry* entry = nullptr;
        // Findings about no field on screen stay apart.
        for (Entry& e : entries)
            if (!field.isEmpty() && e.field == field)
                entry = &e;
        if (!entry) {
            entries.append(Entry());
            entry = &entries.last();
            entry->field = field;
            entry->rank = place.rank;
        }
        const QString text = readable(f, field);
        const bool schema = f.code == u"F-XSD";
        QStringList& into = schema ? entry->schema : entry->rules;
        if (!into.contains(text))
            into << text;
        entry->error = entry->error || f.isError();
        entry->ruleError = entry->ruleError || (!schema && f.isError());
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.rank < b.rank; });
    QStringList errors, warnings;
    for (const Entry& e : std::as_const(entries)) {
        const QStringList said = e.ruleError ? e.rules : e.rules + e.schema;
        const QString line = e.field.isEmpty()
                                 ? QStringLiteral("• %1").arg(said.join(u' '))
                                 : QStringLiteral("• %1: %2").arg(e.field, said.join(u' '));
        (e.error ? errors : warnings) << line;
    }
    QString text = errors.join(u'\n');
    if (!warnings.isEmpty()) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\nAvisos:\n");
        text += warnings.join(u'\n');
    }
    return text;
}

QString details(const CheckFindings& findings) {
    QStringList lines;
    for (const CheckFinding& f : findings)
        lines << QStringLiteral("%1 %2 %3 %4").arg(f.severityLabel(), f.code, f.path, f.message);
    return lines.join(u'\n');
}

} // namespace FindingsText
