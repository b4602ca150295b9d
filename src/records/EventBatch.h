#pragma once

#include <QByteArray>
#include <QList>

// The file the events of a period are exported to. No schema of the tax
// agency holds many events, so this is Orvane's own wrapper: a root element
// RegistrosEvento of no namespace, declaring nothing, whose children are the
// stored events byte for byte. Each keeps the canonical form it has on its
// own (what its signature covers) and validates on its own once cut out.
namespace EventBatch {

inline constexpr char Root[] = "RegistrosEvento";

// The element alone. Throws AppError for no events, or bytes that are not an
// event (RegistroEvento of the tax agency's namespace).
QByteArray element(const QList<QByteArray>& events);

// The same as a file: with the XML declaration.
QByteArray document(const QList<QByteArray>& events);

} // namespace EventBatch
