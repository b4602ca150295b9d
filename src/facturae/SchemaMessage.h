#pragma once

#include <QString>

// libxml2 words its schema errors in English for developers; a person issuing
// an invoice gets the usual ones in Spanish, and the rest with the original
// text after a Spanish lead.
namespace SchemaMessage {

QString spanish(const QString& libxmlMessage);

} // namespace SchemaMessage
