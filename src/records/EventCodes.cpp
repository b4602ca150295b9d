#include "records/EventCodes.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 11> TypeCodes = {u"01", u"02", u"03", u"04", u"05", u"06",
                                                       u"07", u"08", u"09", u"10", u"90"};

constexpr std::array<const char16_t*, 11> TypeNames = {
    u"Inicio del modo NO VERI*FACTU",
    u"Fin del modo NO VERI*FACTU",
    u"Comprobación de los registros de facturación",
    u"Anomalía en los registros de facturación",
    u"Comprobación de los eventos",
    u"Anomalía en los eventos",
    u"Restauración de una copia de seguridad",
    u"Exportación de registros de facturación",
    u"Exportación de eventos",
    u"Resumen de eventos",
    u"Otro evento",
};

constexpr std::array<const char16_t*, 16> AnomalyCodes = {u"01", u"02", u"03", u"04", u"05", u"06",
                                                          u"07", u"08", u"09", u"10", u"11", u"12",
                                                          u"13", u"14", u"15", u"90"};

} // namespace

QString eventTypeCode(EventType type) {
    return QString::fromUtf16(TypeCodes[std::size_t(type)]);
}

std::optional<EventType> eventTypeFromCode(const QString& code) {
    for (std::size_t i = 0; i < TypeCodes.size(); ++i) {
        if (code == QStringView(TypeCodes[i]))
            return EventType(i);
    }
    return std::nullopt;
}

QString eventTypeName(EventType type) {
    return QString::fromUtf16(TypeNames[std::size_t(type)]);
}

QString anomalyTypeCode(AnomalyType type) {
    return QString::fromUtf16(AnomalyCodes[std::size_t(type)]);
}
