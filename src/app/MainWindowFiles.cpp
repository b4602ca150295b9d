#include "app/uPrincipal.h"

// The main window's file commands: a new invoice, an import file or a draft
// opened, the draft kept, and the question before the invoice on screen is
// replaced or closed.

#include "app/FileDialogs.h"
#include "app/IssuerWatch.h"
#include "app/LinesGrid.h"
#include "app/MainStatusBar.h"
#include "app/PendingEdit.h"
#include "invoice/UnsavedChanges.h"
#include "settings/AppFiles.h"
#include "widgets/ErrorGuard.h"

#include <QDir>

// Before the invoice on screen is replaced or closed. What is being typed
// counts as a change; a value that would be refused stops the command only
// when the person wants the invoice kept: a half-typed slip must never make
// quitting impossible.
bool TForm2::mayLeaveInvoice(UnsavedQuestion::Next next) {
    const bool refused = !m_pending->commitQuietly();
    if (!refused && !m_changes->isModified())
        return true;
    return leaveInvoice(askUnsaved(next));
}

bool TForm2::leaveInvoice(UnsavedAnswer answer) {
    switch (answer) {
    case UnsavedAnswer::Save:
        return m_pending->commit() && keepDraft();
    case UnsavedAnswer::Discard:
        m_pending->drop();
        return true;
    case UnsavedAnswer::Cancel:
        break;
    }
    return false;
}

// Guardar / Descartar / Cancelar.
TForm2::UnsavedAnswer TForm2::askUnsaved(UnsavedQuestion::Next next) {
    switch (UnsavedQuestion::ask(this, next)) {
    case Prompts::SaveChoice::Save:
        return UnsavedAnswer::Save;
    case Prompts::SaveChoice::Discard:
        return UnsavedAnswer::Discard;
    case Prompts::SaveChoice::Cancel:
        break;
    }
    return UnsavedAnswer::Cancel;
}

void TForm2::reportImport(const QString& path) {
    const int count = m_record.lines().count();
    const QString where = QDir::toNativeSeparators(path);
    m_status->report(count == 1
                         ? QStringLiteral("Importada 1 línea de %1").arg(where)
                         : QStringLiteral("Importadas %1 líneas de %2").arg(count).arg(where));
}

// Reads an import file or a draft into the window. A file chosen by a person
// is also where the draft is kept and beside which the document goes.
void TForm2::runImport(const std::function<QString()>& import) {
    const bool hadLines = m_record.lines().count() > 0;
    QString path;
    {
        // A refused file changes nothing (it is read whole before anything
        // is applied), so the caption's mark stays as it was.
        const UnsavedChanges::Pause pause(*m_changes);
        path = import();
    }
    if (path.isEmpty()) {
        // Cancelled: only the lines may have gone.
        if (hadLines)
            m_changes->markModified();
        return;
    }
    m_changes->markSaved();
    // A file a person chose is where the draft is kept; the fixed file is not.
    m_draftPath = m_record.nombreFichero().isEmpty() && m_record.rutaDelFichero().isEmpty()
                      ? QString()
                      : path;
    reportImport(path);
}

QString TForm2::chooseImportFile() {
    return FileDialogs::open(this, appDir(), FileDialogs::Kind::Import, OpenFilters, ImportFilter);
}

QString TForm2::proposedName(const QString& extension) const {
    return FileDialogs::invoiceFileName(m_record.text(RecordField::InvoiceSeries),
                                        m_record.text(RecordField::InvoiceNumber), extension);
}

void TForm2::AdvSmoothButton2Click() {
    runGuarded(this, [&] {
        // What is typed in a cell stays in its line; an import replaces the
        // lines only once the whole file has been read.
        if (!mayLeaveInvoice(UnsavedQuestion::Next::Import))
            return;
        runImport([&] {
            QString chosen;
            if (!m_session.importInvoice([&] { return chosen = chooseImportFile(); }))
                return QString();
            if (m_session.importAsksForCentres())
                askForCentres();
            return chosen.isEmpty() ? AppFiles::fixedImportFile(appDir()) : chosen;
        });
    });
}

void TForm2::openInvoiceFile() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::OpenFile))
            return;
        const QString path = chooseImportFile();
        if (path.isEmpty())
            return;
        m_area.grid->cancelLine();
        runImport([&] {
            m_session.importChosenFile(path);
            return path;
        });
    });
}

void TForm2::saveDraft() {
    runGuarded(this, [&] { keepDraft(); });
}

bool TForm2::keepDraft() {
    QString path = m_draftPath;
    if (path.isEmpty()) {
        // A draft is an import file: Abrir starts where it was kept. Never the
        // program's settings nor the import file shown.
        path = FileDialogs::save(
            this, appDir(), FileDialogs::Kind::Import, DraftFilter, QStringLiteral("ini"),
            proposedName(QStringLiteral("ini")), FileDialogs::Existing::Ask,
            [this](const QString& chosen) {
                const QString problem = m_session.draftTargetProblem(chosen);
                return problem.isEmpty()
                           ? problem
                           : problem + QStringLiteral(". Elija otro nombre para el borrador.");
            });
        if (path.isEmpty())
            return false;
    }
    m_session.saveDraft(path);
    m_draftPath = path;
    m_changes->markSaved();
    m_status->report(QStringLiteral("Borrador guardado en %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

void TForm2::newInvoice() {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::NewInvoice))
            return;
        m_area.grid->cancelLine();
        {
            const UnsavedChanges::Pause pause(*m_changes);
            m_session.startNew();
        }
        m_issuerWatch->remember();
        m_draftPath.clear();
        m_changes->markSaved();
        m_status->report(QStringLiteral("Nueva factura"));
    });
}

void TForm2::openAsNew(const QString& value) {
    runGuarded(this, [&] {
        if (!mayLeaveInvoice(UnsavedQuestion::Next::NewInvoice))
            return;
        m_area.grid->cancelLine();
        {
            const UnsavedChanges::Pause pause(*m_changes);
            m_session.openAsNew(value);
        }
        m_draftPath.clear();
        m_changes->markSaved();
        m_status->report(QStringLiteral("Factura nueva %1 a partir del libro")
                             .arg(m_record.text(RecordField::InvoiceNumber)));
    });
}
