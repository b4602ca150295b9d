#include "records/RecordReader.h"

#include "common/AppError.h"
#include "records/RecordText.h"
#include "records/RecordXmlWriter.h"

#include <QRegularExpression>
#include <QUtf8StringView>

#include <array>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

// A stored record is read without building a tree: the chain check reads
// every record of the book, and a tree for each would take seconds for a
// large one. The reader accepts only the plain XML a record is written in
// (elements, attributes, text, character and the five predefined entity
// references, an optional declaration) and refuses the rest (comments,
// CDATA, processing instructions, DOCTYPE): within that subset every well-formed
// record reads exactly as an XML parser reads it, and anything else is not a
// record Orvane stored.

namespace RecordReader {

namespace {

using std::string_view;

constexpr int MaxDepth = 32;

[[noreturn]] void refuse(const char* what) {
    throw AppError(QString::fromUtf8(what));
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Names are ASCII, with at most one colon between prefix and local name:
// what records and their signatures use.
bool isNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

string_view localName(string_view qname) {
    const auto colon = qname.rfind(':');
    return colon == string_view::npos ? qname : qname.substr(colon + 1);
}

// What an element is for the record: the texts the fingerprint, the link and
// the breakdown's sums need, and the containers that lead to them.
enum class Slot {
    Other,
    IdFactura,
    Chain,
    Previous,
    Breakdown,
    Detail,
    IssuerNif,
    NumSerie,
    IssueDate,
    InvoiceType,
    CuotaTotal,
    ImporteTotal,
    First,
    PreviousNif,
    PreviousNumSerie,
    PreviousDate,
    PreviousHuella,
    GeneratedAt,
    TipoHuella,
    Huella,
    DetailBase,
    DetailQuota,
    Count
};

bool isText(Slot s) {
    return s >= Slot::IssuerNif;
}

// Elements that may occur once only where the record is read; a second one
// would be read differently by different readers.
bool isSingle(Slot s) {
    return s != Slot::Other && s != Slot::Detail;
}

class Scanner {
public:
    Scanner(const QByteArray& bytes, ReadRecord& out)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()), m_out(out) {}

    void run();

private:
    Slot slotOf(string_view local) const;
    void startTag();
    void endTag();
    void entity();
    void text();
    void close();
    void rootAttribute(string_view name, string_view value);
    string_view name();
    void skipSpace() {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }

    const char* m_p;
    const char* m_end;
    bool m_alta = false;
    bool m_rootNamespace = false;
    string_view m_rootPrefix;
    std::array<string_view, MaxDepth> m_names{};
    std::array<Slot, MaxDepth> m_slots{};
    int m_depth = 0;
    bool m_rootClosed = false;
    // The prefixes declared on the open elements, with the depth of each.
    std::vector<std::pair<string_view, int>> m_prefixes;
    // Which single elements were seen, reset for each DetalleDesglose's own.
    std::array<bool, std::size_t(Slot::Count)> m_seen{};
    QByteArray m_text; // the text of the open text element
    ReadRecord& m_out;
    // The breakdown added up as it is read; a detail without a base or with
    // an amount that is not one leaves the sums unknown.
    std::optional<Decimal> m_detailBase;
    std::optional<Decimal> m_detailQuota;
    bool m_sumsKnown = true;
    Decimal m_quotaSum;
    Decimal m_totalSum;
};

Slot Scanner::slotOf(string_view local) const {
    const Slot parent = m_depth >= 1 ? m_slots[std::size_t(m_depth - 1)] : Slot::Other;
    if (m_depth == 1) {
        if (local == "IDFactura")
            return Slot::IdFactura;
        if (local == "Encadenamiento")
            return Slot::Chain;
        if (local == "FechaHoraHusoGenRegistro")
            return Slot::GeneratedAt;
        if (local == "TipoHuella")
            return Slot::TipoHuella;
        if (local == "Huella")
            return Slot::Huella;
        if (m_alta) {
            if (local == "TipoFactura")
                return Slot::InvoiceType;
            if (local == "CuotaTotal")
                return Slot::CuotaTotal;
            if (local == "ImporteTotal")
                return Slot::ImporteTotal;
            if (local == "Desglose")
                return Slot::Breakdown;
        }
        return Slot::Other;
    }
    switch (parent) {
    case Slot::IdFactura:
        if (local == (m_alta ? "IDEmisorFactura" : "IDEmisorFacturaAnulada"))
            return Slot::IssuerNif;
        if (local == (m_alta ? "NumSerieFactura" : "NumSerieFacturaAnulada"))
            return Slot::NumSerie;
        if (local == (m_alta ? "FechaExpedicionFactura" : "FechaExpedicionFacturaAnulada"))
            return Slot::IssueDate;
        return Slot::Other;
    case Slot::Chain:
        if (local == "PrimerRegistro")
            return Slot::First;
        if (local == "RegistroAnterior")
            return Slot::Previous;
        return Slot::Other;
    case Slot::Previous:
        if (local == "IDEmisorFactura")
            return Slot::PreviousNif;
        if (local == "NumSerieFactura")
            return Slot::PreviousNumSerie;
        if (local == "FechaExpedicionFactura")
            return Slot::PreviousDate;
        if (local == "Huella")
            return Slot::PreviousHuella;
        return Slot::Other;
    case Slot::Breakdown:
        return local == "DetalleDesglose" ? Slot::Detail : Slot::Other;
    case Slot::Detail:
        if (local == "BaseImponibleOimporteNoSujeto")
            return Slot::DetailBase;
        if (local == "CuotaRepercutida")
            return Slot::DetailQuota;
        return Slot::Other;
    default:
        return Slot::Other;
    }
}

string_view Scanner::name() {
    const char* start = m_p;
    for (int part = 0; part < 2; ++part) {
        if (m_p >= m_end || !isNameStart(*m_p))
            refuse("tiene un nombre de elemento o de atributo mal formado");
        while (m_p < m_end && isNameChar(*m_p))
            ++m_p;
        if (m_p >= m_end || *m_p != ':')
            break;
        ++m_p;
    }
    return string_view(start, std::size_t(m_p - start));
}

// The root must declare its own prefix for the tax agency's namespace.
void Scanner::rootAttribute(string_view attribute, string_view value) {
    const bool declaresRootPrefix = m_rootPrefix.empty() ? attribute == "xmlns"
                                                         : attribute.substr(0, 6) == "xmlns:" &&
                                                               attribute.substr(6) == m_rootPrefix;
    if (declaresRootPrefix && value == RecordNamespaces::Info)
        m_rootNamespace = true;
}

void Scanner::startTag() {
    ++m_p; // '<'
    if (m_rootClosed)
        refuse("lleva algo después del final del registro");
    const string_view qname = name();
    const bool root = m_depth == 0;
    if (root) {
        const auto colon = qname.find(':');
        m_rootPrefix = colon == string_view::npos ? string_view() : qname.substr(0, colon);
        m_alta = localName(qname) == "RegistroAlta";
        if (!m_alta && localName(qname) != "RegistroAnulacion")
            refuse("no es un RegistroAlta ni un RegistroAnulacion de la Agencia Tributaria");
        m_out.fingerprinted.anulacion = !m_alta;
    }
    // Attributes: each after a blank, a name, '=', a quoted value without '<';
    // no name twice.
    std::array<string_view, 8> attributes{};
    std::size_t attributeCount = 0;
    while (true) {
        const char* before = m_p;
        skipSpace();
        if (m_p >= m_end)
            refuse("está cortado");
        if (*m_p == '>' || *m_p == '/')
            break;
        if (m_p == before)
            refuse("tiene atributos sin separar");
        const string_view attribute = name();
        for (std::size_t i = 0; i < attributeCount; ++i) {
            if (attributes[i] == attribute)
                refuse("repite un atributo");
        }
        if (attributeCount == attributes.size())
            refuse("tiene demasiados atributos en un elemento");
        attributes[attributeCount++] = attribute;
        skipSpace();
        if (m_p >= m_end || *m_p != '=')
            refuse("tiene un atributo sin valor");
        ++m_p;
        skipSpace();
        if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
            refuse("tiene un atributo sin comillas");
        const char quote = *m_p++;
        const char* valueStart = m_p;
        while (m_p < m_end && *m_p != quote) {
            if (*m_p == '<' || *m_p == '&' ||
                (static_cast<unsigned char>(*m_p) < 0x20 && !isSpace(*m_p)))
                refuse("tiene un atributo con un carácter no admitido");
            ++m_p;
        }
        if (m_p >= m_end)
            refuse("está cortado");
        const string_view value(valueStart, std::size_t(m_p - valueStart));
        if (attribute.substr(0, 6) == "xmlns:") {
            const string_view prefix = attribute.substr(6);
            if (value.empty() || prefix == "xml" || prefix == "xmlns")
                refuse("tiene una declaración de espacio de nombres no admitida");
            m_prefixes.emplace_back(prefix, m_depth);
        }
        if (root)
            rootAttribute(attribute, value);
        ++m_p;
    }
    // An element with an undeclared prefix is no element of a namespace:
    // parsers keep the prefix in its name.
    if (const auto colon = qname.find(':'); colon != string_view::npos) {
        const string_view prefix = qname.substr(0, colon);
        bool declared = false;
        for (const auto& [p, depth] : m_prefixes)
            declared = declared || p == prefix;
        if (!declared)
            refuse("usa un prefijo de espacio de nombres sin declarar");
    }
    const bool empty = *m_p == '/';
    if (empty && (m_p + 1 >= m_end || m_p[1] != '>'))
        refuse("tiene una etiqueta mal cerrada");
    m_p += empty ? 2 : 1;

    if (root) {
        if (!m_rootNamespace)
            refuse("no es un RegistroAlta ni un RegistroAnulacion de la Agencia Tributaria");
    } else if (isText(m_slots[std::size_t(m_depth - 1)])) {
        refuse("tiene un elemento dentro de un campo de texto");
    }
    if (m_depth == MaxDepth)
        refuse("anida demasiados elementos");
    const Slot slot = root ? Slot::Other : slotOf(localName(qname));
    if (isSingle(slot)) {
        if (m_seen[std::size_t(slot)])
            refuse("repite un elemento que solo puede aparecer una vez");
        m_seen[std::size_t(slot)] = true;
    }
    if (slot == Slot::Detail) {
        m_seen[std::size_t(Slot::DetailBase)] = m_seen[std::size_t(Slot::DetailQuota)] = false;
        m_detailBase.reset();
        m_detailQuota = Decimal(); // exempt and not-subject details carry no tax
    }
    m_names[std::size_t(m_depth)] = qname;
    m_slots[std::size_t(m_depth)] = slot;
    ++m_depth;
    m_text.clear();
    if (empty) {
        --m_depth;
        close();
    }
}

void Scanner::endTag() {
    m_p += 2; // "</"
    const string_view qname = name();
    skipSpace();
    if (m_p >= m_end || *m_p != '>')
        refuse("tiene una etiqueta de cierre mal formada");
    ++m_p;
    if (m_depth == 0 || m_names[std::size_t(m_depth - 1)] != qname)
        refuse("tiene etiquetas que no casan");
    --m_depth;
    close();
}

// The element at m_depth has just closed.
void Scanner::close() {
    while (!m_prefixes.empty() && m_prefixes.back().second >= m_depth)
        m_prefixes.pop_back();
    const Slot slot = m_slots[std::size_t(m_depth)];
    if (m_depth == 0)
        m_rootClosed = true;
    if (slot == Slot::Detail) {
        if (m_detailBase && m_detailQuota) {
            m_quotaSum += *m_detailQuota;
            m_totalSum += *m_detailBase + *m_detailQuota;
        } else {
            m_sumsKnown = false;
        }
    }
    if (!isText(slot))
        return;
    const QString value = QString::fromUtf8(m_text);
    ReadRecord& out = m_out;
    Fingerprint::RecordTexts& t = out.fingerprinted;
    switch (slot) {
    case Slot::IssuerNif:
        t.issuerNif = value;
        break;
    case Slot::NumSerie:
        t.numSerie = value;
        break;
    case Slot::IssueDate:
        t.issueDate = value;
        break;
    case Slot::InvoiceType:
        t.invoiceType = value;
        break;
    case Slot::CuotaTotal:
        t.cuotaTotal = value;
        break;
    case Slot::ImporteTotal:
        t.importeTotal = value;
        break;
    case Slot::First:
        out.first = value.trimmed() == u"S";
        break;
    case Slot::PreviousNif:
        out.previousNif = value;
        break;
    case Slot::PreviousNumSerie:
        out.previousNumSerie = value;
        break;
    case Slot::PreviousDate:
        out.previousDate = value;
        break;
    case Slot::PreviousHuella:
        t.previousHuella = value;
        break;
    case Slot::GeneratedAt:
        t.generatedAt = value;
        break;
    case Slot::TipoHuella:
        out.tipoHuella = value;
        break;
    case Slot::Huella:
        out.huella = value;
        break;
    case Slot::DetailBase:
        m_detailBase = RecordText::readAmount(value);
        break;
    case Slot::DetailQuota:
        m_detailQuota = RecordText::readAmount(value);
        break;
    default:
        break;
    }
}

void Scanner::entity() {
    const char* start = ++m_p; // after '&'
    while (m_p < m_end && *m_p != ';' && m_p - start < 12)
        ++m_p;
    if (m_p >= m_end || *m_p != ';')
        refuse("tiene una referencia a entidad mal formada");
    const string_view ref(start, std::size_t(m_p - start));
    ++m_p;
    if (m_depth == 0)
        refuse("lleva texto fuera del registro");
    char32_t code = 0;
    if (ref == "amp")
        code = '&';
    else if (ref == "lt")
        code = '<';
    else if (ref == "gt")
        code = '>';
    else if (ref == "quot")
        code = '"';
    else if (ref == "apos")
        code = '\'';
    else if (ref.size() >= 2 && ref[0] == '#') {
        const bool hex = ref[1] == 'x';
        const string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty())
            refuse("tiene una referencia a carácter mal formada");
        for (const char c : digits) {
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0)
                refuse("tiene una referencia a carácter mal formada");
            code = code * (hex ? 16 : 10) + char32_t(d);
            if (code > 0x10FFFF)
                refuse("tiene una referencia a un carácter que no existe");
        }
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                             (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || code >= 0x10000;
        if (!allowed)
            refuse("tiene una referencia a un carácter que XML no admite");
    } else {
        refuse("usa una entidad que un registro no tiene");
    }
    if (m_depth > 0 && isText(m_slots[std::size_t(m_depth - 1)]))
        m_text += QString::fromUcs4(&code, 1).toUtf8();
}

void Scanner::text() {
    const char* start = m_p;
    while (m_p < m_end && *m_p != '<' && *m_p != '&') {
        if (static_cast<unsigned char>(*m_p) < 0x20 && !isSpace(*m_p))
            refuse("lleva un carácter de control que XML no admite");
        if (*m_p == '>' && m_p - start >= 2 && m_p[-1] == ']' && m_p[-2] == ']')
            refuse("lleva «]]>» en un texto, que XML no admite");
        ++m_p;
    }
    const string_view run(start, std::size_t(m_p - start));
    if (m_depth == 0) {
        for (const char c : run) {
            if (!isSpace(c))
                refuse("lleva texto fuera del registro");
        }
        return;
    }
    if (!isText(m_slots[std::size_t(m_depth - 1)]))
        return;
    if (run.find('\r') == string_view::npos) {
        m_text.append(run.data(), qsizetype(run.size()));
        return;
    }
    // Line ends read as an XML parser reads them: CR LF and a lone CR are LF.
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (run[i] != '\r')
            m_text += run[i];
        else if (i + 1 == run.size() || run[i + 1] != '\n')
            m_text += '\n';
    }
}

void Scanner::run() {
    if (m_end - m_p >= 3 && string_view(m_p, 3) == "\xEF\xBB\xBF")
        m_p += 3;
    if (m_end - m_p >= 6 && string_view(m_p, 5) == "<?xml" && isSpace(m_p[5])) {
        // Only XML 1.0 in UTF-8: another encoding would give other texts.
        static const QRegularExpression declaration(QStringLiteral(
            R"(^<\?xml[ \t\r\n]+version[ \t\r\n]*=[ \t\r\n]*(["'])1\.0\1)"
            R"(([ \t\r\n]+encoding[ \t\r\n]*=[ \t\r\n]*(["'])(?i:utf-8)\3)?)"
            R"(([ \t\r\n]+standalone[ \t\r\n]*=[ \t\r\n]*(["'])(yes|no)\5)?[ \t\r\n]*\?>)"));
        const string_view rest(m_p, std::size_t(m_end - m_p));
        const auto close = rest.find("?>");
        if (close == string_view::npos ||
            !declaration.match(QLatin1String(m_p, qsizetype(close + 2))).hasMatch())
            refuse("tiene una declaración XML que no es de XML 1.0 en UTF-8");
        m_p += close + 2;
    }
    skipSpace();
    if (m_p >= m_end || *m_p != '<')
        refuse("está vacío o no empieza por un elemento");
    while (m_p < m_end) {
        if (*m_p == '<') {
            if (m_p + 1 >= m_end)
                refuse("está cortado");
            if (m_p[1] == '/')
                endTag();
            else if (m_p[1] == '!' || m_p[1] == '?')
                refuse("lleva comentarios, secciones CDATA, DOCTYPE o instrucciones de "
                       "proceso, que un registro no tiene");
            else
                startTag();
        } else if (*m_p == '&') {
            entity();
        } else {
            text();
        }
    }
    if (!m_rootClosed || m_depth != 0)
        refuse("está cortado");
    if (m_alta && m_sumsKnown) {
        m_out.detailQuota = m_quotaSum;
        m_out.detailTotal = m_totalSum;
    }
}

// U+FFFE and U+FFFF are valid UTF-8 but not XML characters.
bool hasNonCharacter(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    while ((p = static_cast<const char*>(std::memchr(p, '\xEF', std::size_t(end - p))))) {
        if (end - p >= 3 && p[1] == '\xBF' && (p[2] == '\xBE' || p[2] == '\xBF'))
            return true;
        ++p;
    }
    return false;
}

} // namespace

ReadRecord read(const QByteArray& bytes) {
    if (!QUtf8StringView(bytes).isValidUtf8() || hasNonCharacter(bytes))
        throw AppError(QStringLiteral("no está en UTF-8 válido"));
    ReadRecord out;
    Scanner(bytes, out).run();
    return out;
}

} // namespace RecordReader

QString ReadRecord::invoiceText() const {
    return QStringLiteral("%1 de %2")
        .arg(fingerprinted.numSerie.trimmed(), fingerprinted.issueDate.trimmed());
}
