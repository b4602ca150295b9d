#include "pdf/CertificateName.h"

#include <QStringDecoder>

namespace {

struct Der {
    unsigned char tag = 0;
    QByteArrayView content;
};

// Reads one element at pos; false when the bytes end early or the length is
// not one DER allows here.
bool next(QByteArrayView bytes, qsizetype& pos, Der& out) {
    if (pos + 2 > bytes.size())
        return false;
    out.tag = static_cast<unsigned char>(bytes[pos++]);
    qsizetype length = static_cast<unsigned char>(bytes[pos++]);
    if (length & 0x80) {
        const int count = length & 0x7f;
        if (count == 0 || count > 4 || pos + count > bytes.size())
            return false;
        length = 0;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | static_cast<unsigned char>(bytes[pos++]);
    }
    if (length < 0 || length > bytes.size() - pos)
        return false;
    out.content = bytes.sliced(pos, length);
    pos += length;
    return true;
}

QString decodeString(const Der& value) {
    switch (value.tag) {
    case 0x0c: // UTF8String
        return QString::fromUtf8(value.content);
    case 0x13: // PrintableString
    case 0x16: // IA5String
    case 0x14: // TeletexString, read as Latin-1 as most readers do
        return QString::fromLatin1(value.content);
    case 0x1e: { // BMPString
        QStringDecoder decoder(QStringDecoder::Utf16BE);
        return decoder(value.content);
    }
    case 0x1c: { // UniversalString
        QStringDecoder decoder(QStringDecoder::Utf32BE);
        return decoder(value.content);
    }
    default:
        return QString();
    }
}

struct NameParts {
    QString commonName, givenName, surname, organisation;
};

bool readName(QByteArrayView name, NameParts& parts) {
    static const QByteArray CommonName("\x55\x04\x03", 3);
    static const QByteArray Surname("\x55\x04\x04", 3);
    static const QByteArray GivenName("\x55\x04\x2a", 3);
    static const QByteArray Organisation("\x55\x04\x0a", 3);
    qsizetype pos = 0;
    Der set;
    while (pos < name.size()) {
        if (!next(name, pos, set) || set.tag != 0x31)
            return false;
        qsizetype inSet = 0;
        Der pair;
        while (inSet < set.content.size()) {
            if (!next(set.content, inSet, pair) || pair.tag != 0x30)
                return false;
            qsizetype inPair = 0;
            Der oid, value;
            if (!next(pair.content, inPair, oid) || oid.tag != 0x06 ||
                !next(pair.content, inPair, value))
                return false;
            const QString text = decodeString(value).trimmed();
            if (oid.content == CommonName && parts.commonName.isEmpty())
                parts.commonName = text;
            else if (oid.content == GivenName && parts.givenName.isEmpty())
                parts.givenName = text;
            else if (oid.content == Surname && parts.surname.isEmpty())
                parts.surname = text;
            else if (oid.content == Organisation && parts.organisation.isEmpty())
                parts.organisation = text;
        }
    }
    return true;
}

} // namespace

QString CertificateName::subjectName(const QByteArray& der) {
    qsizetype pos = 0;
    Der certificate, tbs;
    if (!next(der, pos, certificate) || certificate.tag != 0x30)
        return QString();
    pos = 0;
    if (!next(certificate.content, pos, tbs) || tbs.tag != 0x30)
        return QString();
    // version [0] (optional), serial, signature algorithm, issuer, validity, subject
    pos = 0;
    Der field;
    if (!next(tbs.content, pos, field))
        return QString();
    if (field.tag == 0xa0 && !next(tbs.content, pos, field))
        return QString();
    for (int skip = 0; skip < 3; ++skip) {
        if (!next(tbs.content, pos, field))
            return QString();
    }
    Der subject;
    if (!next(tbs.content, pos, subject) || subject.tag != 0x30)
        return QString();
    NameParts parts;
    if (!readName(subject.content, parts))
        return QString();
    if (!parts.commonName.isEmpty())
        return parts.commonName;
    const QString person = (parts.givenName + u' ' + parts.surname).trimmed();
    return person.isEmpty() ? parts.organisation : person;
}
