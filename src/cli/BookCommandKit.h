#pragma once

#include "book/BookList.h"
#include "cli/EachFile.h"

#include <QString>
#include <QStringList>

#include <memory>

class AppError;
class BookDatabase;
class QTextStream;

// What every "orvane-cli book" subcommand shares: --home, the list's filters,
// opening the book and saying why it cannot be used.
namespace BookCommandKit {

struct Options {
    QString home;      // the folder of Registro.Ini and Libro.db
    BookFilter filter; // --from, --to, --series, --customer
    QStringList files;
};

// Which options a subcommand takes besides --home and --help.
enum class Filters { None, Taken };

// Reads the arguments after the subcommand's name. Returns -1 when the
// subcommand goes on, or the exit status to end with: 0 after --help, 2 after
// a usage problem (written with the usage on stderr).
int readArguments(const QStringList& arguments, const char* usage, Filters filters,
                  QTextStream& out, QTextStream& err, Options& options,
                  const OwnOption& ownOption = {});

// The book of home. A missing book is made only when create is set;
// otherwise, as when it cannot be used, AppError says why in Spanish.
std::unique_ptr<BookDatabase> openBook(const QString& home, bool create);

// The issuer's own tax id, [MISDATOS] NIF of home's Registro.Ini.
QString ownTaxId(const QString& home);

// The error on stderr with its full stop; exit status 1.
int failed(QTextStream& err, const AppError& error);

} // namespace BookCommandKit
