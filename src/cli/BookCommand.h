#pragma once

#include <QStringList>

class QTextStream;

// orvane-cli book SUBCOMMAND [--home DIR] ...: the invoice book (Libro.db
// beside Registro.Ini) listed, shown, exported, filled from earlier
// documents, copied and checked. Returns the exit status: 0 done, 1 the book
// or an input failed, 2 a usage error.
int runBook(const QStringList& arguments, const QString& toolDir, QTextStream& out,
            QTextStream& err);

// The subcommands; each receives its own name as the first argument.
int runBookList(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err);
int runBookShow(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err);
int runBookExport(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err);
int runBookImport(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err);
int runBookBackup(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err);
int runBookCheck(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                 QTextStream& err);
int runBookGaps(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err);
