#pragma once

#include <QString>

// Checks a tax QR address found inside a document another program made,
// before the copy shows it as "QR tributario": only the tax agency's own
// check pages qualify, so a hostile document never gets a code that looks
// official but leads elsewhere.
namespace AeatQrAddress {

// True for an address QrAddress::read() takes: https on the agency's
// production or test host, the check page of either mode, exactly its four
// parameters, each well formed.
bool accepts(const QString& address);

} // namespace AeatQrAddress
