#pragma once

// Names and fixed values of the XAdES-EPES signature the hubs accept.
namespace XadesNames {

inline constexpr char DsigNs[] = "http://www.w3.org/2000/09/xmldsig#";
inline constexpr char XadesNs[] = "http://uri.etsi.org/01903/v1.3.2#";
inline constexpr char SignedPropertiesType[] = "http://uri.etsi.org/01903#SignedProperties";

inline constexpr char PolicyIdentifier[] =
    "http://www.facturae.es/politica_de_firma_formato_facturae/"
    "politica_de_firma_formato_facturae_v3_1.pdf";
inline constexpr char PolicyDescription[] = "Política de Firma FacturaE v3.1";
// SHA-1 of the policy document, as the policy publishes it.
inline constexpr char PolicyDigest[] = "Ohixl6upD6av8N7pEvDABhEL6hM=";

inline constexpr char Sha1[] = "http://www.w3.org/2000/09/xmldsig#sha1";
inline constexpr char Sha256[] = "http://www.w3.org/2001/04/xmlenc#sha256";
inline constexpr char Sha512[] = "http://www.w3.org/2001/04/xmlenc#sha512";
inline constexpr char EnvelopedTransform[] =
    "http://www.w3.org/2000/09/xmldsig#enveloped-signature";

inline constexpr char ClaimedRole[] = "emisor";
inline constexpr char DataDescription[] = "Factura electrónica";
inline constexpr char DataMimeType[] = "text/xml";

} // namespace XadesNames
