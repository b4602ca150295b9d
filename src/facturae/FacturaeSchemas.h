#pragma once

#include "facturae/CheckFinding.h"

#include <QString>

#include <libxml/tree.h>

// The published Facturae schemas (3.2, 3.2.1, 3.2.2) with the XML-signature
// schema they import, read from the program's resources and compiled once per
// process. Nothing is read from disk or network: the only outside reference
// the schemas make is served from the resources, and every other one refused.
namespace FacturaeSchemas {

// "3.2", "3.2.1" or "3.2.2" for a root namespace; empty when unknown.
QString versionOfNamespace(const QString& namespaceUri);

// Validates a parsed document against a version's schema and returns one
// F-XSD finding per violation. Violations inside an enveloped signature are
// left out: the signature is checked where signatures are verified.
CheckFindings validate(xmlDoc* document, const QString& version);

// Makes libxml2 read no external entity except the bundled signature schema,
// and keeps it quiet on stderr. Idempotent; the check calls it itself.
void installResourceLoader();

} // namespace FacturaeSchemas
