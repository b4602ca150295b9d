#pragma once

#include "records/ConformityDeclaration.h"

#include <QDialog>
#include <functional>

class QPrinter;

// "Declaración responsable" (Ayuda menu): the declaration of conformity of
// this version to read, print or keep as PDF. Nothing in it can be changed;
// Escape or "Cerrar" closes it.
class DeclarationDialog : public QDialog {
    Q_OBJECT
public:
    // appDir: where Registro.Ini remembers the folder documents are saved to.
    // Throws AppError when the declaration's data cannot be read.
    explicit DeclarationDialog(const QString& appDir, QWidget* parent = nullptr);

    // Sets up the printer for "Imprimir…"; false when the person cancels.
    // The print dialog unless a test gives its own.
    using PrinterSetup = std::function<bool(QPrinter& printer, QWidget* parent)>;
    void setPrinterSetup(PrinterSetup setup) { m_printerSetup = std::move(setup); }

    void ImprimirClick();   // prints it on the printer the person chooses
    void GuardarPdfClick(); // saves it as a PDF where the person chooses

private:
    QString m_appDir;
    ConformityDeclaration m_declaration;
    PrinterSetup m_printerSetup;
};
