#include "app/InvoicePreview.h"

#include "app/FileDialogs.h"
#include "pdf/InvoicePdf.h"
#include "session/InvoiceSession.h"
#include "widgets/BackgroundWork.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QToolBar>

namespace {

const QString PdfFilter = QStringLiteral("Documentos PDF (*.pdf)");

} // namespace

InvoicePreview::InvoicePreview(InvoiceSession& session, QByteArray document,
                               FacturaeDocument::Document parsed, QString source,
                               QString pdfProposal, QWidget* parent)
    : QPrintPreviewDialog(parent), m_session(session), m_document(std::move(document)),
      m_source(std::move(source)), m_parsed(std::move(parsed)),
      m_pdfProposal(std::move(pdfProposal)), m_qr(m_session.taxQrOf(m_document)) {
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
    addButtonRow();

    // Most of the screen: a page is worth reading.
    if (const QScreen* screen = parent ? parent->screen() : this->screen()) {
        const QSize room = screen->availableGeometry().size();
        resize(qMin(1000, room.width() * 9 / 10), room.height() * 9 / 10);
    }
}

// Below the pages, whatever the width: the toolbar hides what does not fit.
void InvoicePreview::addButtonRow() {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 4, 8, 8);
    auto* print = new QPushButton(QStringLiteral("&Imprimir…"), this);
    print->setObjectName(QStringLiteral("ImprimirButton"));
    auto* save = new QPushButton(QStringLiteral("&Guardar PDF…"), this);
    save->setObjectName(QStringLiteral("GuardarPdfButton"));
    auto* close = new QPushButton(QStringLiteral("&Cerrar"), this);
    close->setObjectName(QStringLiteral("CerrarButton"));
    m_saved = new QLabel(this);
    m_saved->setObjectName(QStringLiteral("PdfGuardado"));
    m_saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(print);
    row->addWidget(save);
    row->addWidget(m_saved, 1);
    row->addWidget(close);
    connect(print, &QPushButton::clicked, this, [this] { ImprimirClick(); });
    connect(save, &QPushButton::clicked, m_save, &QAction::trigger);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    if (auto* column = qobject_cast<QBoxLayout*>(layout()))
        column->addLayout(row);
}

void InvoicePreview::paintPages(QPrinter* printer) {
    runGuarded(this, [&] {
        // The preview drops its old pages as the new ones are painted: it
        // must not repaint them meanwhile.
        QWidget* pages = findChild<QPrintPreviewWidget*>();
        if (pages)
            pages->setUpdatesEnabled(false);
        const auto showAgain = qScopeGuard([pages] {
            if (pages)
                pages->setUpdatesEnabled(true);
        });
        BackgroundWork::run(this, QStringLiteral("Preparando las páginas…"), [&] {
            m_pages = InvoicePdf::render(m_parsed, *printer, &m_logo, m_qr);
        });
    });
}

void InvoicePreview::ImprimirClick() {
    runGuarded(this, [&] {
        QPrintDialog dialog(printer(), this);
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        if (dialog.exec() != QDialog::Accepted)
            return;
        if (auto* pages = findChild<QPrintPreviewWidget*>())
            pages->print();
    });
}

// The save runs beside the window: a long invoice takes a moment, and the
// window keeps repainting meanwhile behind a modal progress box.
void InvoicePreview::GuardarPdfClick() {
    runGuarded(this, [&] {
        const QString path = FileDialogs::save(this, m_session.appDir(), FileDialogs::Kind::Pdf,
                                               PdfFilter, QStringLiteral("pdf"), m_pdfProposal);
        if (path.isEmpty())
            return;
        BackgroundWork::run(this, QStringLiteral("Guardando la copia PDF…"), [this, path] {
            m_session.savePdf(m_document, path, m_qr,
                              m_source.isEmpty() ? QStringList() : QStringList{m_source});
        });
        m_pdfProposal = path;
        m_saved->setText(
            QStringLiteral("Copia PDF guardada en %1").arg(QDir::toNativeSeparators(path)));
        emit pdfSaved(path);
    });
}
