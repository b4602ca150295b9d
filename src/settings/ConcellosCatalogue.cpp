#include "settings/ConcellosCatalogue.h"

#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"
#include "storage/IniKeyTable.h"

namespace ConcellosCatalogue {

namespace {

const QString Registro = QStringLiteral("REGISTRO");
const QString Cuantos = QStringLiteral("CUANTOS");
const QString Concellos = QStringLiteral("CONCELLOS");

// Keys 0..CUANTOS are read; a huge CUANTOS in a damaged file must not make
// the window walk billions of keys.
constexpr int MaxEntries = 100000;

int lastEntry(const IniFile& ini) {
    return ini.readInteger(Registro, Cuantos, 0);
}

} // namespace

QStringList names(const QString& appDir) {
    const IniFile ini(AppFiles::concellosIni(appDir));
    QStringList list;
    const int last = qMin(lastEntry(ini), MaxEntries);
    for (int n = 0; n <= last; ++n) {
        const QString name = ini.readString(Concellos, QString::number(n));
        if (!name.isEmpty())
            list.append(name);
    }
    return list;
}

AdministrationCentres load(const QString& appDir, const QString& name) {
    const IniFile ini(AppFiles::concellosIni(appDir));
    auto v = [&](const char* key) { return ini.readString(name, QString::fromLatin1(key)); };
    AdministrationCentres c;
    c.managingName = v("NOMBRE_ORGANO");
    c.officeName = v("Nombre_Oficina");
    c.unitName = v("Nombre_Unidad");
    c.managingCode = v("ORGANO");
    c.officeCode = v("Oficina");
    c.unitCode = v("Unidad");
    return c;
}

QString upperAsciiLetters(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return out;
}

QString storedName(const QString& typedName) {
    return upperAsciiLetters(typedName).trimmed();
}

QString nameProblem(const QString& name) {
    const auto wrappedIn = [&](QChar quote) {
        return name.size() >= 2 && name.front() == quote && name.back() == quote;
    };
    if (name.contains(u'[') || name.contains(u']') || name.contains(u'\n') ||
        name.contains(u'\r') || name.startsWith(u'"') || name.endsWith(u'"') || wrappedIn(u'\''))
        return QStringLiteral("El nombre de la administración no puede llevar corchetes ([ ]) ni "
                              "saltos de línea, ni empezar o acabar con comillas; no se ha "
                              "guardado nada");
    if (name.size() > IniFile::MaxValueLength)
        return QStringLiteral("El nombre de la administración es demasiado largo (el máximo es de "
                              "%1 caracteres); no se ha guardado nada")
            .arg(IniFile::MaxValueLength);
    if (!name.isValidUtf16())
        return QStringLiteral("El nombre de la administración lleva caracteres que no se pueden "
                              "guardar; no se ha guardado nada");
    return {};
}

QString save(const QString& appDir, const QString& typedName, const AdministrationCentres& c) {
    QString name = storedName(typedName);
    if (name.isEmpty())
        throw AppError(
            QStringLiteral("Escriba un nombre para la administración; no se ha guardado nada"));
    if (const QString problem = nameProblem(name); !problem.isEmpty())
        throw AppError(problem);

    // Read strictly: a catalogue that exists but cannot be read must not be
    // replaced by one holding only the new entry.
    IniFile ini(AppFiles::concellosIni(appDir), true);
    const int registered = lastEntry(ini);
    bool exists = false;
    for (int n = 0; n <= qMin(registered, MaxEntries) && !exists; ++n) {
        const QString listed = ini.readString(Concellos, QString::number(n));
        if (IniKeyTable::sameName(listed, name)) {
            // The file cannot tell the two spellings apart: it is this entry.
            name = listed;
            exists = true;
        }
    }

    ini.writeString(name, QStringLiteral("NOMBRE_ORGANO"), c.managingName);
    ini.writeString(name, QStringLiteral("Nombre_Oficina"), c.officeName);
    ini.writeString(name, QStringLiteral("Nombre_Unidad"), c.unitName);
    ini.writeString(name, QStringLiteral("ORGANO"), c.managingCode);
    ini.writeString(name, QStringLiteral("Oficina"), c.officeCode);
    ini.writeString(name, QStringLiteral("Unidad"), c.unitCode);
    if (!exists) {
        const qint64 next = qint64(registered) + 1;
        ini.writeString(Concellos, QString::number(next), name);
        ini.writeString(Registro, Cuantos, QString::number(next));
    }
    ini.save();
    return name;
}

} // namespace ConcellosCatalogue
