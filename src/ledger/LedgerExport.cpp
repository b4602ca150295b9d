#include "ledger/LedgerExport.h"

#include "common/AppError.h"
#include "common/SafeSave.h"
#include "records/RecordText.h"

#include <QDir>
#include <QFileInfo>

namespace LedgerExport {

namespace {

QString periodText(const RecordPeriod& period) {
    const QString from = period.from.isValid() ? RecordText::date(period.from) : QString();
    const QString to = period.to.isValid() ? RecordText::date(period.to) : QString();
    if (!from.isEmpty() && !to.isEmpty())
        return QStringLiteral("entre el %1 y el %2").arg(from, to);
    if (!from.isEmpty())
        return QStringLiteral("desde el %1").arg(from);
    if (!to.isEmpty())
        return QStringLiteral("hasta el %1").arg(to);
    return QStringLiteral("en el libro");
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QStringList fileNames(const QString& path, qint64 count) {
    QStringList names{path};
    for (qint64 n = 2; (n - 1) * RecordBatch::MaxRecords < count; ++n)
        names << path + QLatin1Char('.') + QString::number(n);
    return names;
}

QStringList write(const BookDatabase& db, const RecordBatch::Header& header,
                  const RecordPeriod& period, const QString& path) {
    const RecordStore store(db);
    std::optional<ChainKey> chain;
    for (const ChainKey& key : store.chains()) {
        if (key.issuerNif == RecordText::value(header.issuerNif))
            chain = key;
    }
    const auto stretch = chain ? store.stretch(*chain, period) : std::nullopt;
    if (!stretch)
        throw AppError(QStringLiteral("No hay registros de facturación del NIF %1 generados %2: "
                                      "no se ha escrito nada")
                           .arg(RecordText::value(header.issuerNif), periodText(period)));

    const QStringList names = fileNames(path, stretch->second - stretch->first + 1);
    const QString after = path + QLatin1Char('.') + QString::number(names.size() + 1);
    if (QFileInfo::exists(after))
        throw AppError(QStringLiteral("Ya existe %1, de una exportación anterior más larga: se "
                                      "tomaría por parte de esta. Bórrelo o elija otro nombre; no "
                                      "se ha escrito nada")
                           .arg(shown(after)));

    QStringList written;
    QList<QByteArray> batch;
    auto save = [&] {
        const QString target = names[written.size()];
        QString reason;
        if (!SafeSave::write(target, RecordBatch::document(header, batch), &reason))
            throw AppError(QStringLiteral("No se puede guardar la exportación de registros en "
                                          "%1: %2")
                               .arg(shown(target), reason));
        written << target;
        batch.clear();
    };
    store.each(*chain, stretch->first, stretch->second, [&](const StoredRecord& row) {
        batch << row.bytes;
        if (batch.size() == RecordBatch::MaxRecords)
            save();
        return true;
    });
    if (!batch.isEmpty())
        save();
    return written;
}

} // namespace LedgerExport
