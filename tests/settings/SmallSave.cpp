// Test helper: one small save under a file-size limit, in a process of its
// own so that the limit binds nothing else.
//   orvane-small-save document TARGET LINES LIMIT   a document of LINES lines
//   orvane-small-save registro TARGET LENGTH LIMIT  Registro.Ini, NOMBRE of LENGTH characters
//   orvane-small-save concellos APPDIR LENGTH LIMIT an administration with names of LENGTH
// LIMIT is the largest file in bytes the process may write, or -1 for none.
// Exit 0 when saved, 1 with the error on stderr when the save failed.
#include "HostileFiles.h"

#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "settings/ConcellosCatalogue.h"
#include "storage/IniFile.h"
#include "storage/InvoiceImport.h"

#include <QTemporaryDir>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

void limitFileSize(long long bytes) {
#ifdef Q_OS_UNIX
    // Past the limit a write fails with "file too large" instead of killing us.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::perror("setrlimit");
        std::exit(2);
    }
#else
    Q_UNUSED(bytes);
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s KIND TARGET SIZE LIMIT\n", argv[0]);
        return 2;
    }
    const QByteArray kind = argv[1];
    const QString target = QString::fromLocal8Bit(argv[2]);
    const int size = QByteArray(argv[3]).toInt();
    const long long limit = QByteArray(argv[4]).toLongLong();
    try {
        if (kind == "document") {
            // Everything the save needs is read before the limit applies.
            QTemporaryDir scratch;
            const QString import = scratch.filePath(QStringLiteral("F.ini"));
            QByteArray lines;
            for (int n = 1; n <= size; ++n)
                lines += "NOMBRE" + QByteArray::number(n) + "=Línea\nPRECIO" +
                         QByteArray::number(n) + "=1,5\nIVA" + QByteArray::number(n) + "=21\n";
            HostileFiles::write(import, HostileFiles::validHead(QByteArray::number(size)) + lines);
            InvoiceRecord record;
            InvoiceImport::importFile(record, import, true);
            if (limit >= 0)
                limitFileSize(limit);
            FacturaeWriter::save(record, target);
        } else if (kind == "registro") {
            IniFile ini(target, true);
            ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("NOMBRE"),
                            QString(size, u'ñ'));
            if (limit >= 0)
                limitFileSize(limit);
            ini.save();
        } else if (kind == "concellos") {
            const QString name(size, u'x');
            if (limit >= 0)
                limitFileSize(limit);
            ConcellosCatalogue::save(target, QStringLiteral("AYTO. DE PRUEBA"),
                                     {QStringLiteral("L01"), name, QStringLiteral("L02"), name,
                                      QStringLiteral("L03"), name});
        } else {
            return 2;
        }
    } catch (const AppError& error) {
        std::fprintf(stderr, "%s\n", error.message().toUtf8().constData());
        return 1;
    }
    return 0;
}
