// The catalogue of administrations with arbitrary names: each input is a
// list of names (separated by byte 0x01) saved in turn into an empty
// catalogue. A name is either refused, writing nothing, or listed once and
// loaded back with the values saved under it last.
#include "FuzzCheck.h"
#include "common/AppError.h"
#include "settings/ConcellosCatalogue.h"
#include "storage/IniKeyTable.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using FuzzCheck::check;
using FuzzCheck::readAll;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Concellos.Ini"));
    QFile::remove(file);

    const QList<QByteArray> typed =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\x01');
    QMap<QString, AdministrationCentres> saved;
    int round = 0;
    for (const QByteArray& bytes : typed) {
        if (round++ == 8)
            break;
        const QString name = QString::fromUtf8(bytes);
        const QString number = QString::number(round);
        const AdministrationCentres centres{
            QStringLiteral("L") + number, QStringLiteral("Xestor ") + number,
            QStringLiteral("O") + number, QStringLiteral("Oficina ") + number,
            QStringLiteral("U") + number, QStringLiteral("Unidade ") + number};
        const QByteArray before = readAll(file);
        try {
            const QString stored = ConcellosCatalogue::save(dir.path(), name, centres);
            // Stored as typed (a-z upper-cased, trimmed) or as the listed
            // entry the file cannot tell it from.
            check(IniKeyTable::sameName(stored, ConcellosCatalogue::storedName(name)));
            check(ConcellosCatalogue::nameProblem(stored).isEmpty());
            saved[stored] = centres;
        } catch (const AppError&) {
            check(readAll(file) == before);
        }
    }
    const QStringList names = ConcellosCatalogue::names(dir.path());
    check(names.size() == saved.size());
    for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
        check(names.count(it.key()) == 1);
        const AdministrationCentres loaded = ConcellosCatalogue::load(dir.path(), it.key());
        check(loaded.managingCode == it->managingCode && loaded.managingName == it->managingName &&
              loaded.officeCode == it->officeCode && loaded.officeName == it->officeName &&
              loaded.unitCode == it->unitCode && loaded.unitName == it->unitName);
    }
    return 0;
}
