#pragma once

#include "widgets/Prompts.h"

class QWidget;

// The question asked before unsaved changes would be lost: "Guardar" keeps
// the invoice as a draft first, "Descartar" goes on without it, "Cancelar"
// stays where the person was. The caller acts on the answer.
namespace UnsavedQuestion {

// What would follow the answer, named in the question.
enum class Next { NewInvoice, OpenFile, Import, Quit };

Prompts::SaveChoice ask(QWidget* parent, Next next);

} // namespace UnsavedQuestion
