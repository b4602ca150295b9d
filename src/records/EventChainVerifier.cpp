#include "records/EventChainVerifier.h"

#include "common/AppError.h"
#include "records/EventReader.h"

namespace {

constexpr ChainCheck::Words EventWords = {"evento", "PrimerEvento", "FechaHoraHusoGenEvento",
                                          "Cadena de eventos correcta: %1 eventos", " (%1)"};

QString eventName(const EventRef& e) {
    return QStringLiteral("el evento de tipo %1 de %2 con huella %3")
        .arg(e.type, e.generatedAt, e.huella);
}

} // namespace

EventChainVerifier::EventChainVerifier(std::optional<EventAnchor> anchor)
    : ChainCheck(EventWords, anchor ? std::optional<qint64>(anchor->sequence) : std::nullopt),
      m_last(anchor ? anchor->event : EventRef()) {}

bool EventChainVerifier::add(qint64 sequence, const QByteArray& bytes) {
    if (!inSequence(sequence))
        return false;

    ReadEvent event;
    try {
        event = EventReader::read(bytes);
    } catch (const AppError& e) {
        fail(QString(), QStringLiteral("el evento no se puede leer: %1").arg(e.message()),
             AnomalyType::OtherIntegrity);
        return false;
    }
    const Fingerprint::EventTexts& t = event.fingerprinted;
    const QString subject = event.eventText();
    const QString computed = Fingerprint::of(Fingerprint::input(t));
    if (!intact(subject, event.tipoHuella, event.huella, computed, t.generatedAt))
        return false;
    if (!markedFirstRightly(subject, event.first))
        return false;
    const EventRef named{event.previousType.trimmed(), event.previousGeneratedAt.trimmed(),
                         t.previousHuella.trimmed()};
    if (!event.first && (named.type != m_last.type || named.generatedAt != m_last.generatedAt ||
                         named.huella != m_last.huella)) {
        fail(subject,
             QStringLiteral("nombra como evento anterior %1, y el evento n.º %2 es %3")
                 .arg(eventName(named), QString::number(previousSequence()), eventName(m_last)),
             AnomalyType::PreviousHuellaMismatch);
        return false;
    }
    m_last = {t.eventType.trimmed(), t.generatedAt.trimmed(), computed};
    passed();
    return true;
}
