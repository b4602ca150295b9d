#include "widgets/ErrorGuard.h"

#include "common/AppError.h"
#include "widgets/Prompts.h"

#include <exception>

void runGuarded(QWidget* parent, const std::function<void()>& handler) {
    QString message;
    try {
        handler();
        return;
    } catch (const AppError& error) {
        message = error.message();
    } catch (const std::exception& error) {
        message = unexpectedError(error);
    } catch (...) {
        message = QStringLiteral("Error inesperado");
    }
    Prompts::instance().errorBox(parent, withFullStop(message));
}
