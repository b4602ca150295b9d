#include "ledger/RecordSettings.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "settings/FirmaSettings.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>

#include <openssl/pkcs12.h>

#include <array>

namespace {

const QString Section = QStringLiteral("VERIFACTU");

// A key's words, the first one what an empty or missing value means; a
// value's meaning is its position in the list.
struct Key {
    const char* name;
    std::array<const char*, 3> words; // null past the last
};

constexpr Key ModeKey{"MODO", {"", "VERIFACTU", "NOVERIFACTU"}};
constexpr Key TerritoryKey{"TERRITORIO", {"PENINSULA", "CANARIAS", nullptr}};
constexpr Key EnvironmentKey{"ENTORNO", {"PRODUCCION", "PRUEBAS", nullptr}};
constexpr Key LegendKey{"LEYENDA", {"VERIFACTU", "SEDE", nullptr}};

QStringList wordsOf(const Key& key) {
    QStringList words;
    for (const char* w : key.words) {
        if (w && *w)
            words << QLatin1String(w);
    }
    return words;
}

// The position of the key's value among its words (an empty or missing
// value is the first); -1 when it is none of them.
int position(const IniFile& ini, const Key& key) {
    const QString value = ini.readString(Section, QLatin1String(key.name)).trimmed();
    if (value.isEmpty())
        return 0;
    for (std::size_t i = 0; i < key.words.size(); ++i) {
        if (key.words[i] && *key.words[i] &&
            value.compare(QLatin1String(key.words[i]), Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

// The same; a value that is none of the words gives the first and adds the
// reason, naming key and file, to problems.
int choice(const IniFile& ini, const Key& key, QStringList& problems) {
    const int found = position(ini, key);
    if (found >= 0)
        return found;
    problems << QStringLiteral("[VERIFACTU] %1=%2 en %3 no es válido: escriba %4")
                    .arg(QLatin1String(key.name),
                         ini.readString(Section, QLatin1String(key.name)).trimmed(),
                         QDir::toNativeSeparators(ini.path()),
                         wordsOf(key).join(QStringLiteral(" o ")));
    return 0;
}

// Writes the key only when its meaning changes, so a value written in
// another case or with blanks stays as the person left it; a value the
// program does not know is replaced.
void writeChoice(IniFile& ini, const Key& key, int wanted) {
    if (position(ini, key) == wanted)
        return;
    ini.writeString(Section, QLatin1String(key.name), QLatin1String(key.words[wanted]));
}

// A PKCS#12 file is one DER structure that OpenSSL reads without its
// password; anything else (a PEM file, a key alone) is not one.
bool isPkcs12(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    PKCS12* p12 = d2i_PKCS12(nullptr, &data, long(bytes.size()));
    if (!p12)
        return false;
    PKCS12_free(p12);
    return true;
}

} // namespace

RecordSettings RecordSettings::read(const IniFile& ini) {
    QStringList problems;
    const RecordSettings settings = readKnown(ini, problems);
    if (!problems.isEmpty())
        throw AppError(problems.first());
    return settings;
}

RecordSettings RecordSettings::readKnown(const IniFile& ini, QStringList& problems) {
    RecordSettings settings;
    settings.mode = Mode(choice(ini, ModeKey, problems));
    settings.territory = Territory(choice(ini, TerritoryKey, problems));
    settings.environment = Environment(choice(ini, EnvironmentKey, problems));
    settings.legend = Legend(choice(ini, LegendKey, problems));
    settings.url = ini.readString(Section, QStringLiteral("URL")).trimmed();
    settings.ca = ini.readString(Section, QStringLiteral("CA")).trimmed();
    return settings;
}

void RecordSettings::write(IniFile& ini) const {
    writeChoice(ini, ModeKey, int(mode));
    writeChoice(ini, TerritoryKey, int(territory));
    writeChoice(ini, EnvironmentKey, int(environment));
    writeChoice(ini, LegendKey, int(legend));
}

QString RecordSettings::modeProblem(Mode mode, const IniFile& ini) {
    if (mode != Mode::NoVerifactu)
        return {};
    const QString named = FirmaSettings::read(ini).certificate.trimmed();
    const QString why =
        QStringLiteral("El modo sin envío (NOVERIFACTU) firma cada registro de facturación con su "
                       "certificado");
    if (named.isEmpty())
        return QStringLiteral("%1, y no hay ninguno elegido. Elija el archivo del certificado "
                              "(.p12 o .pfx) en Configuración > Firma y vuelva a elegir el modo")
            .arg(why);
    const QString path = QFileInfo(ini.path()).dir().absoluteFilePath(named);
    const QString shown = QDir::toNativeSeparators(path);
    QByteArray bytes;
    try {
        bytes = BoundedFile::read(path, BoundedFile::MaxCertificateBytes,
                                  QStringLiteral("el certificado"));
    } catch (const AppError& e) {
        return QStringLiteral("%1. %2. Elija otro en Configuración > Firma").arg(why, e.message());
    }
    if (!isPkcs12(bytes))
        return QStringLiteral("%1, y el archivo %2 no es un certificado PKCS#12 (.p12 o .pfx). "
                              "Elija otro en Configuración > Firma")
            .arg(why, shown);
    return {};
}
