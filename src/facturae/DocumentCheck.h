#pragma once

#include "facturae/CheckFinding.h"

#include <QByteArray>

// The check a Facturae document goes through before it leaves: the schema of
// its version, the sums, the parties, the payment and the dates. Works on
// documents from any program, signed or not; reads nothing but the bytes given.
namespace DocumentCheck {

CheckFindings run(const QByteArray& document);

} // namespace DocumentCheck
