#include "app/InvoicePreview.h"

#include "pdf/InvoicePdf.h"
#include "session/InvoiceSession.h"
#include "widgets/BackgroundWork.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QAction>
#include <QPrinter>
#include <QToolBar>

namespace {

const QString PdfFilter = QStringLiteral("Documentos PDF (*.pdf)");

} // namespace

InvoicePreview::InvoicePreview(InvoiceSession& session, QByteArray document,
                               FacturaeDocument::Document parsed, QString source, QWidget* parent)
    : QPrintPreviewDialog(parent), m_session(session), m_document(std::move(document)),
      m_source(std::move(source)), m_parsed(std::move(parsed)) {
    setObjectName(QStringLiteral("InvoicePreview"));
    setWindowTitle(QStringLiteral("Ver / Imprimir"));
    m_logo.load(InvoicePdf::logoPathFor(m_parsed, m_session.appDir()));
    printer()->setFullPage(true);
    printer()->setPageSize(QPageSize(QPageSize::A4));
    printer()->setDocName(QStringLiteral("Factura"));
    connect(this, &QPrintPreviewDialog::paintRequested, this, &InvoicePreview::paintPages);

    m_save = new QAction(QIcon::fromTheme(QStringLiteral("document-save")),
                         QStringLiteral("Guardar PDF"), this);
    m_save->setObjectName(QStringLiteral("GuardarPdf"));
    m_save->setToolTip(QStringLiteral("Guardar la copia en un fichero PDF"));
    connect(m_save, &QAction::triggered, this, [this] { GuardarPdfClick(); });
    if (auto* bar = findChild<QToolBar*>()) {
        bar->addSeparator();
        bar->addAction(m_save);
    } else {
        addAction(m_save);
    }
}

void InvoicePreview::paintPages(QPrinter* printer) {
    runGuarded(this, [&] {
        const BusyCursor busy;
        m_pages = InvoicePdf::render(m_parsed, *printer, &m_logo, m_qr);
    });
}

// The save runs beside the window: a long invoice takes a moment, and the
// window keeps repainting meanwhile behind a modal progress box.
void InvoicePreview::GuardarPdfClick() {
    runGuarded(this, [&] {
        const QString path = Prompts::instance().saveFile(this, PdfFilter, QStringLiteral("pdf"));
        if (path.isEmpty())
            return;
        BackgroundWork::run(this, QStringLiteral("Guardando la copia PDF…"), [this, path] {
            m_session.savePdf(m_document, path, m_qr,
                              m_source.isEmpty() ? QStringList() : QStringList{m_source});
        });
    });
}
