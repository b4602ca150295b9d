#pragma once

// What the benchmarks share: the median of the timed runs, the document of an
// import file, and one size measured in a child process.

#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

namespace BenchKit {

// The middle value (the upper middle of an even count).
inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The document the program writes for an import file, as the program reads it.
inline QByteArray documentOf(const QString& importPath) {
    InvoiceRecord record;
    record.lines().open();
    InvoiceImport::importFile(record, importPath, true);
    QBuffer xml;
    xml.open(QIODevice::WriteOnly);
    FacturaeWriter::write(record, xml);
    return xml.data();
}

// Runs the openssl command in dir (the benchmarks' throwaway certificates).
inline bool openssl(const QTemporaryDir& dir, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral("openssl"), arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

// Runs this program again with "--measure FILE RUNS", so that the figures,
// peak memory above all, are that size's own; the space-separated figures it
// printed, or none when it gave fewer than expected.
inline QStringList measureInChild(const QString& importPath, int runs, int expected) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--measure"), importPath, QString::number(runs)});
    child.waitForFinished(-1);
    const QStringList figures = QString::fromLatin1(child.readAllStandardOutput()).split(u' ');
    return figures.size() < expected ? QStringList() : figures;
}

} // namespace BenchKit
