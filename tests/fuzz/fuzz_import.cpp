// An arbitrary file imported into a fresh record, then the document written:
// whatever the file holds, the output must be well-formed XML with the root
// and its three sections in place. An early error from the import is fine.
#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "fuzz_import: %s\n", what);
        std::abort();
    }
}

const QString& importPath() {
    static const QString path = QDir::temp().filePath(
        QStringLiteral("orvane-fuzz-import-%1.ini").arg(QString::number(getpid())));
    return path;
}

void checkDocument(const QByteArray& document) {
    QXmlStreamReader xml(document);
    int depth = 0;
    QStringList sections;
    bool sawRoot = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (depth == 0) {
                check(xml.qualifiedName() == u"fe:Facturae", "root is not fe:Facturae");
                sawRoot = true;
            } else if (depth == 1) {
                sections << xml.name().toString();
            }
            ++depth;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (xml.hasError())
        fprintf(stderr, "fuzz_import: %s\n", qPrintable(xml.errorString()));
    check(!xml.hasError(), "the document is not well-formed");
    check(sawRoot, "no root element");
    check(sections == QStringList({QStringLiteral("FileHeader"), QStringLiteral("Parties"),
                                   QStringLiteral("Invoices")}),
          "the root does not hold FileHeader, Parties, Invoices");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        QFile file(importPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    InvoiceRecord record;
    record.lines().open();
    record.setIssueDate(QDate(2024, 3, 5));
    record.setDueDate(QDate(2024, 4, 5));
    try {
        InvoiceImport::importFile(record, importPath(), true);
    } catch (const AppError&) {
        // The window would show the message and keep what was read so far;
        // "Generar Factura" may still be pressed, so the document is written
        // from that state too.
    }

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    try {
        FacturaeWriter::write(record, buffer);
    } catch (const AppError&) {
        return 0;
    }
    checkDocument(buffer.data());
    return 0;
}
