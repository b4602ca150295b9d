#pragma once

#include "facturae/CheckFinding.h"

#include <QByteArray>

class XmlDocument;

// The check a Facturae document goes through before it leaves: the schema of
// its version, the sums, the parties, the payment and the dates. Works on
// documents from any program, signed or not; reads nothing but the bytes given.
namespace DocumentCheck {

CheckFindings run(const QByteArray& document);
// The same on a document already parsed (signing checks what it signs, on
// the one reading of it). The tree is only read.
CheckFindings run(const XmlDocument& document);

} // namespace DocumentCheck
