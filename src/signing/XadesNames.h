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

// The general signature policy of the State's administration (AGE), under
// which the tax agency wants billing records and events signed.
inline constexpr char AgePolicyIdentifier[] = "urn:oid:2.16.724.1.3.1.1.2.1.9";
inline constexpr char AgePolicyDescription[] =
    "Política de firma electrónica y de certificados de la Administración General del Estado";
inline constexpr char AgePolicyDigest[] = "G7roucf600+f03r/o0bAOQ6WAs0=";
inline constexpr char AgePolicyUri[] =
    "https://sede.administracion.gob.es/politica_de_firma_anexo_1.pdf";

inline constexpr char Sha1[] = "http://www.w3.org/2000/09/xmldsig#sha1";
inline constexpr char Sha256[] = "http://www.w3.org/2001/04/xmlenc#sha256";
inline constexpr char Sha512[] = "http://www.w3.org/2001/04/xmlenc#sha512";
inline constexpr char EnvelopedTransform[] =
    "http://www.w3.org/2000/09/xmldsig#enveloped-signature";

inline constexpr char ClaimedRole[] = "emisor";
inline constexpr char DataDescription[] = "Factura electrónica";
inline constexpr char DataMimeType[] = "text/xml";

} // namespace XadesNames
