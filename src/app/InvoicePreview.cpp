#include "app/InvoicePreview.h"

#include "pdf/InvoicePdf.h"
#include "session/InvoiceSession.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QPrinter>
#include <QProgressDialog>
#include <QThread>
#include <QToolBar>

namespace {

const QString PdfFilter = QStringLiteral("Documentos PDF (*.pdf)");

} // namespace

InvoicePreview::InvoicePreview(InvoiceSession& session, QByteArray document,
                               FacturaeDocument::Document parsed, QWidget* parent)
    : QPrintPreviewDialog(parent), m_session(session), m_document(std::move(document)),
      m_parsed(std::move(parsed)) {
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
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            m_pages = InvoicePdf::render(m_parsed, *printer, &m_logo);
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
    });
}

// The save runs beside the window: a long invoice takes a moment, and the
// window keeps repainting meanwhile behind a modal progress box.
void InvoicePreview::GuardarPdfClick() {
    runGuarded(this, [&] {
        const QString path = Prompts::instance().saveFile(this, PdfFilter, QStringLiteral("pdf"));
        if (path.isEmpty())
            return;
        QString error;
        InvoiceSession* session = &m_session;
        const QByteArray document = m_document;
        QThread* worker = QThread::create([session, document, path, &error] {
            try {
                session->savePdf(document, path);
            } catch (const AppError& e) {
                error = e.message();
            } catch (const std::exception& e) {
                error = QString::fromLocal8Bit(e.what());
            }
        });
        QProgressDialog progress(QStringLiteral("Guardando la copia PDF…"), QString(), 0, 0, this);
        progress.setWindowTitle(QStringLiteral("Orvane"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(400);
        QEventLoop loop;
        connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        worker->start();
        loop.exec();
        worker->wait();
        delete worker;
        progress.reset();
        if (!error.isEmpty())
            throw AppError(error);
    });
}
