#pragma once

#include <QByteArray>
#include <QString>

#include <string>
#include <vector>

// The tax agency's namespaces and the prefixes Orvane writes them with.
namespace RecordNamespaces {
inline constexpr char Lr[] = "https://www2.agenciatributaria.gob.es/static_files/common/internet/"
                             "dep/aplicaciones/es/aeat/tike/cont/ws/SuministroLR.xsd";
inline constexpr char Info[] = "https://www2.agenciatributaria.gob.es/static_files/common/"
                               "internet/dep/aplicaciones/es/aeat/tike/cont/ws/"
                               "SuministroInformacion.xsd";
// The event log's, written with the prefix "sf".
inline constexpr char Events[] = "https://www2.agenciatributaria.gob.es/static_files/common/"
                                 "internet/dep/aplicaciones/es/aeat/tike/cont/ws/EventosSIF.xsd";
// ' xmlns:sum="…" xmlns:sum1="…"': what every record and every batch declares
// on its root element, and nothing else.
QByteArray declarations();
// ' xmlns:sf="…"': what every event declares on its root, and nothing else.
QByteArray eventDeclarations();
} // namespace RecordNamespaces

// Writes the small documents of the records and their batches: UTF-8, no
// declaration, two spaces of indentation per level, text elements on one
// line. Names carry their prefix ("sum1:Huella").
class RecordXmlWriter {
public:
    // attributes: written as given after the name (namespace declarations).
    void start(const char* name, const QByteArray& attributes = {});
    // Text values are written escaped; they hold no character XML forbids.
    void text(const char* name, const QString& value);
    // Bytes that are already XML (a stored record), on a line of their own.
    void raw(const QByteArray& xml);
    void end();
    QByteArray take();

private:
    void newLine();

    std::string m_out; // QByteArray's appends of short pieces cost more
    std::vector<const char*> m_open;
};
