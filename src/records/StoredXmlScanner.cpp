#include "records/StoredXmlScanner.h"

#include "common/AppError.h"

#include <QRegularExpression>
#include <QString>
#include <QUtf8StringView>

#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace StoredXmlScanner {

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
// what records, events and their signatures use.
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

class Scanner {
public:
    Scanner(const QByteArray& bytes, Fields& fields)
        : m_p(bytes.constData()), m_end(bytes.constData() + bytes.size()), m_fields(fields) {}

    void run();

private:
    void startTag();
    void endTag();
    void entity();
    void text();
    void close();
    string_view name();
    bool inText() const {
        return m_depth > 0 && m_fields.isText(m_slots[std::size_t(m_depth - 1)]);
    }
    void skipSpace() {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
    }

    const char* m_p;
    const char* m_end;
    std::array<string_view, MaxDepth> m_names{};
    std::array<int, MaxDepth> m_slots{};
    int m_depth = 0;
    bool m_rootClosed = false;
    // The prefixes declared on the open elements, with the depth of each.
    std::vector<std::pair<string_view, int>> m_prefixes;
    QByteArray m_text; // the text of the open text element
    Fields& m_fields;
};

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

void Scanner::startTag() {
    ++m_p; // '<'
    if (m_rootClosed)
        refuse("lleva algo después del final del registro");
    const string_view qname = name();
    const bool root = m_depth == 0;
    const auto colon = qname.find(':');
    const string_view prefix = colon == string_view::npos ? string_view() : qname.substr(0, colon);
    // The namespace the root declares for its own prefix on itself.
    string_view rootNamespace;
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
            const string_view declared = attribute.substr(6);
            if (value.empty() || declared == "xml" || declared == "xmlns")
                refuse("tiene una declaración de espacio de nombres no admitida");
            m_prefixes.emplace_back(declared, m_depth);
        }
        if (root &&
            (prefix.empty() ? attribute == "xmlns"
                            : attribute.substr(0, 6) == "xmlns:" && attribute.substr(6) == prefix))
            rootNamespace = value;
        ++m_p;
    }
    // An element with an undeclared prefix is no element of a namespace:
    // parsers keep the prefix in its name.
    if (!prefix.empty()) {
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

    if (root)
        m_fields.root(localName(qname), rootNamespace);
    else if (inText())
        refuse("tiene un elemento dentro de un campo de texto");
    if (m_depth == MaxDepth)
        refuse("anida demasiados elementos");
    const int slot =
        root ? 0 : m_fields.open(m_slots[std::size_t(m_depth - 1)], m_depth, localName(qname));
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
    if (m_depth == 0)
        m_rootClosed = true;
    else if (const int slot = m_slots[std::size_t(m_depth)]; slot != 0)
        m_fields.close(slot, m_fields.isText(slot) ? m_text : QByteArray());
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
    if (inText())
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
    if (!inText())
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

void scan(const QByteArray& bytes, Fields& fields) {
    if (!QUtf8StringView(bytes).isValidUtf8() || hasNonCharacter(bytes))
        throw AppError(QStringLiteral("no está en UTF-8 válido"));
    Scanner(bytes, fields).run();
}

} // namespace StoredXmlScanner
