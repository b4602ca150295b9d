#pragma once

#include <QLatin1String>

// The namespaces of the tax agency's submission service and of SOAP 1.1.
namespace ServiceNames {

inline constexpr QLatin1String SoapEnvelope("http://schemas.xmlsoap.org/soap/envelope/");
inline constexpr QLatin1String Submission(
    "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/"
    "aeat/tike/cont/ws/SuministroLR.xsd");
inline constexpr QLatin1String Information(
    "https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/"
    "aeat/tike/cont/ws/SuministroInformacion.xsd");
inline constexpr QLatin1String
    Answer("https://www2.agenciatributaria.gob.es/static_files/common/internet/dep/aplicaciones/es/"
           "aeat/tike/cont/ws/RespuestaSuministro.xsd");

} // namespace ServiceNames
