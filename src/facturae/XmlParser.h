#pragma once

#include <QByteArray>
#include <QString>

typedef struct _xmlDoc xmlDoc;

// Parses a document the program was given, under the rules every reader of
// the program shares (the check, signing and verifying, the readable copy):
// nothing is fetched from the network or the disk, a DOCTYPE is refused as soon
// as it starts (so no entity is ever declared, let alone expanded into
// gigabytes), and elements nest at most MaxDepth levels, so that no later walk
// of the tree (the canonical form of a signature among them) can run out of
// stack or time. libxml2's own limit is the same, but only without the option
// for long texts that signing needs.
namespace XmlParser {

inline constexpr int MaxDepth = 256;

// The Spanish sentences for the two refusals, for readers of their own.
QString tooDeepMessage();
QString doctypeMessage();

// Parses bytes with the libxml2 options given (no network, no entities added
// whatever they are). Returns the document, which the caller frees with
// xmlFreeDoc, or nullptr with problem set to a Spanish sentence (a syntax
// error is described in Spanish, libxml2's own words only following as a
// detail) and line to where it was found, 0 when unknown.
xmlDoc* parse(const QByteArray& bytes, int options, QString& problem, int& line);

} // namespace XmlParser
