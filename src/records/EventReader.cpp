#include "records/EventReader.h"

#include "common/AppError.h"
#include "records/RecordXmlWriter.h"
#include "records/StoredXmlScanner.h"

#include <array>
#include <string_view>

namespace EventReader {

namespace {

using std::string_view;

// What an element is for the event: the texts its fingerprint and link need,
// and the containers that lead to them.
enum Slot {
    Other,
    Event,
    System,
    ProducerOther,
    Issuer,
    Chain,
    Previous,
    ProducerNif,
    ProducerOtherId,
    SystemId,
    Version,
    Installation,
    IssuerNif,
    GeneratedAt,
    Type,
    First,
    PreviousType,
    PreviousGeneratedAt,
    PreviousHuella,
    TipoHuella,
    Huella,
    Count
};

struct Child {
    int parent;
    const char* name;
    Slot slot;
};

// Where each slot is found; Event's children are at depth 2.
constexpr Child Children[] = {
    {Event, "SistemaInformatico", System},
    {Event, "ObligadoEmision", Issuer},
    {Event, "FechaHoraHusoGenEvento", GeneratedAt},
    {Event, "TipoEvento", Type},
    {Event, "Encadenamiento", Chain},
    {Event, "TipoHuella", TipoHuella},
    {Event, "HuellaEvento", Huella},
    {System, "NIF", ProducerNif},
    {System, "IDOtro", ProducerOther},
    {System, "IdSistemaInformatico", SystemId},
    {System, "Version", Version},
    {System, "NumeroInstalacion", Installation},
    {ProducerOther, "ID", ProducerOtherId},
    {Issuer, "NIF", IssuerNif},
    {Chain, "PrimerEvento", First},
    {Chain, "EventoAnterior", Previous},
    {Previous, "TipoEvento", PreviousType},
    {Previous, "FechaHoraHusoGenEvento", PreviousGeneratedAt},
    {Previous, "HuellaEvento", PreviousHuella},
};

class EventFields : public StoredXmlScanner::Fields {
public:
    explicit EventFields(ReadEvent& out) : Fields(ProducerNif), m_out(out) {}

    void root(string_view local, string_view ns) override {
        if (local != "RegistroEvento" || ns != RecordNamespaces::Events)
            throw AppError(QStringLiteral("no es un RegistroEvento de la Agencia Tributaria"));
    }

    int open(int parent, int depth, string_view local) override {
        int slot = Other;
        if (depth == 1) {
            slot = local == "Evento" ? Event : Other;
        } else {
            for (const Child& c : Children) {
                if (c.parent == parent && local == c.name) {
                    slot = c.slot;
                    break;
                }
            }
        }
        // A second one would be read differently by different readers.
        if (slot != Other) {
            if (m_seen[std::size_t(slot)])
                throw AppError(
                    QStringLiteral("repite un elemento que solo puede aparecer una vez"));
            m_seen[std::size_t(slot)] = true;
        }
        return slot;
    }

    void close(int slot, const QByteArray& text) override {
        if (!isText(slot))
            return;
        const QString value = QString::fromUtf8(text);
        Fingerprint::EventTexts& t = m_out.fingerprinted;
        switch (slot) {
        case ProducerNif:
            t.producerNif = value;
            break;
        case ProducerOtherId:
            t.producerOtherId = value;
            break;
        case SystemId:
            t.systemId = value;
            break;
        case Version:
            t.version = value;
            break;
        case Installation:
            t.installationNumber = value;
            break;
        case IssuerNif:
            t.issuerNif = value;
            break;
        case GeneratedAt:
            t.generatedAt = value;
            break;
        case Type:
            t.eventType = value;
            break;
        case First:
            m_out.first = value.trimmed() == u"S";
            break;
        case PreviousType:
            m_out.previousType = value;
            break;
        case PreviousGeneratedAt:
            m_out.previousGeneratedAt = value;
            break;
        case PreviousHuella:
            t.previousHuella = value;
            break;
        case TipoHuella:
            m_out.tipoHuella = value;
            break;
        case Huella:
            m_out.huella = value;
            break;
        default:
            break;
        }
    }

private:
    ReadEvent& m_out;
    std::array<bool, std::size_t(Count)> m_seen{};
};

} // namespace

ReadEvent read(const QByteArray& bytes) {
    ReadEvent out;
    EventFields fields(out);
    StoredXmlScanner::scan(bytes, fields);
    return out;
}

} // namespace EventReader

EventRef ReadEvent::reference() const {
    return {fingerprinted.eventType.trimmed(), fingerprinted.generatedAt.trimmed(),
            huella.trimmed()};
}

QString ReadEvent::eventText() const {
    const auto type = eventTypeFromCode(fingerprinted.eventType.trimmed());
    return QStringLiteral("%1 de %2")
        .arg(type ? eventTypeName(*type)
                  : QStringLiteral("tipo «%1»").arg(fingerprinted.eventType.trimmed()),
             fingerprinted.generatedAt.trimmed());
}
