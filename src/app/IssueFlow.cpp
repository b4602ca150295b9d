#include "app/IssueFlow.h"

#include "app/FileDialogs.h"
#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "session/BookFiles.h"
#include "widgets/BackgroundWork.h"
#include "widgets/DialogKit.h"
#include "widgets/Prompts.h"

const QString IssueFlow::ReplaceQuestion =
    QStringLiteral("¿Sustituirla? La anterior queda en el historial.");

bool IssueFlow::mayReplace(const BookEntry& held) const {
    return Prompts::instance().confirm(
        m_parent, AppTitle, InvoiceIssuing::heldText(held) + QLatin1Char(' ') + ReplaceQuestion);
}

void IssueFlow::tell(InvoiceSession& session, const InvoiceSession::Generated& generated) {
    if (generated.status == InvoiceSession::GenerateStatus::KeptInBook) {
        offerCopy(session, generated);
        return;
    }
    if (generated.notKept.isEmpty() || m_warnedNotKept)
        return;
    m_warnedNotKept = true;
    Prompts::instance().warn(m_parent, AppTitle,
                             withFullStop(generated.notKept) +
                                 QStringLiteral("\n\nLa factura se ha guardado en su fichero. Este "
                                                "aviso no se repetirá hasta que vuelva a abrir "
                                                "Orvane."));
}

void IssueFlow::offerCopy(InvoiceSession& session, const InvoiceSession::Generated& generated) {
    if (!Prompts::instance().confirm(
            m_parent, AppTitle,
            withFullStop(generated.problem) +
                QStringLiteral("\n\n¿Desea guardar ahora el documento en otro fichero?")))
        return;
    const auto db = BookDatabase::openExisting(session.appDir());
    const QString appDir = session.appDir();
    const BookEntry& entry = *generated.kept;
    const QString path =
        FileDialogs::save(m_parent, appDir, FileDialogs::Kind::Save,
                          QStringLiteral("Facturas (*.xml)"), QStringLiteral("XML"),
                          FileDialogs::invoiceFileName(entry.summary.series, entry.summary.number,
                                                       QStringLiteral("XML")),
                          FileDialogs::Existing::Ask, [&](const QString& chosen) {
                              return BookFiles::outputProblem(*db, appDir, chosen);
                          });
    if (path.isEmpty())
        return;
    BackgroundWork::run(m_parent, QStringLiteral("Guardando la factura…"), [&] {
        BookFiles::save(*db, appDir, entry, BookFiles::Copy::Unsigned, path);
    });
}
