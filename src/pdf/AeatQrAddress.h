#pragma once

#include <QString>

// Checks a tax QR address found inside a document another program made,
// before the copy shows it as "QR tributario": only the tax agency's own
// check pages qualify, so a hostile document never gets a code that looks
// official but leads elsewhere.
namespace AeatQrAddress {

// True for https on the agency's production or test host, on the check page
// of either mode, with its parameters; printable ASCII only, no fragment.
bool accepts(const QString& address);

} // namespace AeatQrAddress
