#include "records/RecordReader.h"

#include "common/AppError.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"
#include "records/StoredXmlScanner.h"

#include <array>
#include <string_view>

namespace RecordReader {

namespace {

using std::string_view;

// What an element is for the record: the texts the fingerprint, the link and
// the breakdown's sums need, and the containers that lead to them.
enum Slot {
    Other,
    IdFactura,
    Chain,
    Previous,
    Breakdown,
    Detail,
    IssuerNif,
    NumSerie,
    IssueDate,
    InvoiceType,
    CuotaTotal,
    ImporteTotal,
    First,
    PreviousNif,
    PreviousNumSerie,
    PreviousDate,
    PreviousHuella,
    GeneratedAt,
    TipoHuella,
    Huella,
    DetailBase,
    DetailQuota,
    Count
};

// Elements that may occur once only where the record is read; a second one
// would be read differently by different readers.
bool isSingle(int s) {
    return s != Other && s != Detail;
}

class RecordFields : public StoredXmlScanner::Fields {
public:
    explicit RecordFields(ReadRecord& out) : Fields(IssuerNif), m_out(out) {}

    void root(string_view local, string_view ns) override;
    int open(int parent, int depth, string_view local) override;
    void close(int slot, const QByteArray& text) override;
    // After the whole record was read.
    void finish();

private:
    int slotOf(int parent, int depth, string_view local) const;

    ReadRecord& m_out;
    bool m_alta = false;
    // Which single elements were seen, reset for each DetalleDesglose's own.
    std::array<bool, std::size_t(Count)> m_seen{};
    // The breakdown added up as it is read; a detail without a base or with
    // an amount that is not one leaves the sums unknown.
    std::optional<Decimal> m_detailBase;
    std::optional<Decimal> m_detailQuota;
    bool m_sumsKnown = true;
    Decimal m_quotaSum;
    Decimal m_totalSum;
};

// The root must declare its own prefix for the tax agency's namespace.
void RecordFields::root(string_view local, string_view ns) {
    m_alta = local == "RegistroAlta";
    if ((!m_alta && local != "RegistroAnulacion") || ns != RecordNamespaces::Info)
        throw AppError(QStringLiteral(
            "no es un RegistroAlta ni un RegistroAnulacion de la Agencia Tributaria"));
    m_out.fingerprinted.anulacion = !m_alta;
}

int RecordFields::slotOf(int parent, int depth, string_view local) const {
    if (depth == 1) {
        if (local == "IDFactura")
            return IdFactura;
        if (local == "Encadenamiento")
            return Chain;
        if (local == "FechaHoraHusoGenRegistro")
            return GeneratedAt;
        if (local == "TipoHuella")
            return TipoHuella;
        if (local == "Huella")
            return Huella;
        if (m_alta) {
            if (local == "TipoFactura")
                return InvoiceType;
            if (local == "CuotaTotal")
                return CuotaTotal;
            if (local == "ImporteTotal")
                return ImporteTotal;
            if (local == "Desglose")
                return Breakdown;
        }
        return Other;
    }
    switch (parent) {
    case IdFactura:
        if (local == (m_alta ? "IDEmisorFactura" : "IDEmisorFacturaAnulada"))
            return IssuerNif;
        if (local == (m_alta ? "NumSerieFactura" : "NumSerieFacturaAnulada"))
            return NumSerie;
        if (local == (m_alta ? "FechaExpedicionFactura" : "FechaExpedicionFacturaAnulada"))
            return IssueDate;
        return Other;
    case Chain:
        if (local == "PrimerRegistro")
            return First;
        if (local == "RegistroAnterior")
            return Previous;
        return Other;
    case Previous:
        if (local == "IDEmisorFactura")
            return PreviousNif;
        if (local == "NumSerieFactura")
            return PreviousNumSerie;
        if (local == "FechaExpedicionFactura")
            return PreviousDate;
        if (local == "Huella")
            return PreviousHuella;
        return Other;
    case Breakdown:
        return local == "DetalleDesglose" ? Detail : Other;
    case Detail:
        if (local == "BaseImponibleOimporteNoSujeto")
            return DetailBase;
        if (local == "CuotaRepercutida")
            return DetailQuota;
        return Other;
    default:
        return Other;
    }
}

int RecordFields::open(int parent, int depth, string_view local) {
    const int slot = slotOf(parent, depth, local);
    if (isSingle(slot)) {
        if (m_seen[std::size_t(slot)])
            throw AppError(QStringLiteral("repite un elemento que solo puede aparecer una vez"));
        m_seen[std::size_t(slot)] = true;
    }
    if (slot == Detail) {
        m_seen[std::size_t(DetailBase)] = m_seen[std::size_t(DetailQuota)] = false;
        m_detailBase.reset();
        m_detailQuota = Decimal(); // exempt and not-subject details carry no tax
    }
    return slot;
}

void RecordFields::close(int slot, const QByteArray& text) {
    if (slot == Detail) {
        if (m_detailBase && m_detailQuota) {
            m_quotaSum += *m_detailQuota;
            m_totalSum += *m_detailBase + *m_detailQuota;
        } else {
            m_sumsKnown = false;
        }
        return;
    }
    if (!isText(slot))
        return;
    const QString value = QString::fromUtf8(text);
    Fingerprint::RecordTexts& t = m_out.fingerprinted;
    switch (slot) {
    case IssuerNif:
        t.issuerNif = value;
        break;
    case NumSerie:
        t.numSerie = value;
        break;
    case IssueDate:
        t.issueDate = value;
        break;
    case InvoiceType:
        t.invoiceType = value;
        break;
    case CuotaTotal:
        t.cuotaTotal = value;
        break;
    case ImporteTotal:
        t.importeTotal = value;
        break;
    case First:
        m_out.first = value.trimmed() == u"S";
        break;
    case PreviousNif:
        m_out.previousNif = value;
        break;
    case PreviousNumSerie:
        m_out.previousNumSerie = value;
        break;
    case PreviousDate:
        m_out.previousDate = value;
        break;
    case PreviousHuella:
        t.previousHuella = value;
        break;
    case GeneratedAt:
        t.generatedAt = value;
        break;
    case TipoHuella:
        m_out.tipoHuella = value;
        break;
    case Huella:
        m_out.huella = value;
        break;
    case DetailBase:
        m_detailBase = RecordText::readAmount(value);
        break;
    case DetailQuota:
        m_detailQuota = RecordText::readAmount(value);
        break;
    default:
        break;
    }
}

void RecordFields::finish() {
    if (m_alta && m_sumsKnown) {
        m_out.detailQuota = m_quotaSum;
        m_out.detailTotal = m_totalSum;
    }
}

} // namespace

ReadRecord read(const QByteArray& bytes) {
    ReadRecord out;
    RecordFields fields(out);
    StoredXmlScanner::scan(bytes, fields);
    fields.finish();
    return out;
}

} // namespace RecordReader

QString ReadRecord::invoiceText() const {
    return QStringLiteral("%1 de %2")
        .arg(fingerprinted.numSerie.trimmed(), fingerprinted.issueDate.trimmed());
}
