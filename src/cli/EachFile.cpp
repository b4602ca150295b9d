#include "cli/EachFile.h"

#include "common/AppError.h"

#include <QTextStream>

int writeEachFile(const QStringList& inputs, QTextStream& out, QTextStream& err,
                  const std::function<QString(const QString& input)>& writeOne) {
    int status = 0;
    for (const QString& input : inputs) {
        try {
            out << writeOne(input) << '\n';
        } catch (const AppError& error) {
            err << input << ": " << withFullStop(error.message()) << '\n';
            status = 1;
        } catch (const std::exception& error) {
            err << input << ": " << QString::fromLocal8Bit(error.what()) << '\n';
            status = 1;
        }
        out.flush();
        err.flush();
    }
    return status;
}
