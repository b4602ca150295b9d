#include "cli/DeclarationCommand.h"

#include "cli/CommandArguments.h"
#include "cli/EachFile.h"

#include "pdf/DeclarationPdf.h"
#include "records/ConformityDeclaration.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli declaration [-o SALIDA.pdf]\n"
    "Escribe en PDF la declaración responsable de esta versión del sistema informático de\n"
    "facturación.\n"
    "  -o SALIDA.pdf   fichero de salida (por omisión, declaracion-responsable.pdf en la\n"
    "                  carpeta actual)\n";

} // namespace

int runDeclaration(const QStringList& arguments, const QString& /*toolDir*/, QTextStream& out,
                   QTextStream& err) {
    QString output = DeclarationPdf::FileName;
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"-o") {
            if (!args.takeValue(output) || output.isEmpty())
                return usageError(err, Usage, QStringLiteral("Falta el fichero tras -o"));
        } else if (args.isHelp(a)) {
            return showHelp(out, Usage);
        } else {
            return usageError(err, Usage, unknownOption(a));
        }
    }
    if (!args.files().isEmpty())
        return usageError(err, Usage,
                          QStringLiteral("La orden no lee ficheros: sobra «%1»; el fichero de "
                                         "salida se indica con -o")
                              .arg(args.files().first()));
    return writeEachFile({output}, out, err, [](const QString& target) {
        DeclarationPdf::save(ConformityDeclaration::builtIn(), target);
        return target;
    });
}
