#include "app/DeclarationDialog.h"

#include "pdf/DeclarationPdf.h"
#include "settings/RememberedFolders.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

const QString PdfFilter = QStringLiteral("Documentos PDF (*.pdf)");

bool choosePrinter(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Imprimir la declaración responsable"));
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

DeclarationDialog::DeclarationDialog(const QString& appDir, QWidget* parent)
    : QDialog(parent), m_appDir(appDir), m_declaration(ConformityDeclaration::builtIn()),
      m_printerSetup(&choosePrinter) {
    setObjectName(QStringLiteral("DeclarationDialog"));
    setWindowTitle(QStringLiteral("Declaración responsable"));
    // Fits a 1024 x 600 screen with its title bar; the text scrolls.
    resize(720, 520);

    auto* text = new QTextBrowser(this);
    text->setObjectName(QStringLiteral("DeclarationText"));
    text->setOpenLinks(false);
    text->setHtml(DeclarationPdf::html(m_declaration));

    auto* buttons = new QDialogButtonBox(this);
    auto* print = buttons->addButton(QStringLiteral("&Imprimir…"), QDialogButtonBox::ActionRole);
    print->setObjectName(QStringLiteral("Imprimir"));
    auto* save = buttons->addButton(QStringLiteral("&Guardar PDF…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("GuardarPdf"));
    auto* close = buttons->addButton(QStringLiteral("&Cerrar"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Cerrar"));
    close->setDefault(true);
    connect(print, &QPushButton::clicked, this, [this] { ImprimirClick(); });
    connect(save, &QPushButton::clicked, this, [this] { GuardarPdfClick(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addWidget(text, 1);
    column->addWidget(buttons);
    // The keyboard starts on the text, so the arrows and Page Down scroll it.
    text->setFocus();
}

void DeclarationDialog::ImprimirClick() {
    runGuarded(this, [&] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("Declaración responsable"));
        if (!m_printerSetup(printer, this))
            return;
        const BusyCursor busy;
        DeclarationPdf::render(m_declaration, printer);
    });
}

void DeclarationDialog::GuardarPdfClick() {
    runGuarded(this, [&] {
        const QString folder = RememberedFolders::folder(m_appDir, RememberedFolders::Kind::Save);
        const QString path = Prompts::instance().saveFileAt(
            this, PdfFilter, QStringLiteral("pdf"),
            folder.isEmpty() ? DeclarationPdf::FileName
                             : QDir(folder).filePath(DeclarationPdf::FileName));
        if (path.isEmpty())
            return;
        {
            const BusyCursor busy;
            DeclarationPdf::save(m_declaration, path);
        }
        RememberedFolders::remember(m_appDir, RememberedFolders::Kind::Save, path);
        Prompts::instance().inform(this, AppTitle,
                                   QStringLiteral("Se ha guardado la declaración responsable en "
                                                  "%1.")
                                       .arg(QDir::toNativeSeparators(path)));
    });
}
