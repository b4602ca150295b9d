#pragma once

// Invoices for tests and benchmarks: lines put straight into a record or its
// lines table, and the import file every benchmark reads.

#include "DecimalTestKit.h"
#include "invoice/InvoiceRecord.h"
#include "invoice/Memoria.h"

#include <QDate>
#include <QFile>
#include <QString>
#include <QTextStream>

namespace InvoiceBuilder {

// One line as a person would type it.
struct Line {
    QString description;
    double quantity = 1, price = 0, discount = 0, vat = 21;
    bool exempt = false;
    QString fileReference;
    QDate fileDate;

    Line() = default;
    Line(const QString& d, double q, double p, double dto = 0, double rate = 21,
         bool isExempt = false, const QString& reference = {}, const QDate& date = {})
        : description(d), quantity(q), price(p), discount(dto), vat(rate), exempt(isExempt),
          fileReference(reference), fileDate(date) {}
};

// Appends a line to an open lines table with what a person types (the
// description, quantity, price, discount, rate, exemption, file reference
// and date of `typed`) and stores it; the table works out the rest.
inline void addLine(Memoria& lines, const InvoiceLine& typed) {
    lines.append();
    InvoiceLine line = *lines.currentLine();
    line.description = typed.description;
    line.quantity = typed.quantity;
    line.price = typed.price;
    line.discountPct = typed.discountPct;
    line.vatRate = typed.vatRate;
    line.treatment = typed.treatment;
    line.fileReference = typed.fileReference;
    line.fileDate = typed.fileDate;
    lines.setLine(line);
    lines.post();
}

inline void addLine(Memoria& lines, const Line& l) {
    InvoiceLine typed;
    typed.description = l.description;
    typed.quantity = D(l.quantity);
    typed.price = D(l.price);
    typed.discountPct = D(l.discount);
    typed.vatRate = D(l.vat);
    typed.treatment = l.exempt ? VatTreatment::E6 : VatTreatment::S1;
    typed.fileReference = l.fileReference;
    typed.fileDate = l.fileDate;
    addLine(lines, typed);
}

inline void addLine(InvoiceRecord& record, const Line& l) {
    addLine(record.lines(), l);
}

// The import file every benchmark uses: `lines` lines with rates 21, 10, 4
// and 0 in turn, a discount on every third line.
inline void writeImportFile(const QString& path, int lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    out << "[DATOS_GENERALES]\nSERIE=B\nFACTURA=" << lines << "\nFECHA=01/02/2024\n"
        << "VENCIMIENTO=01/03/2024\nLINEAS=" << lines << "\n"
        << "[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\nPERSONA=J\n"
        << "NOMBRE=Distribuciones Galaicas S.L.\nDIRECCION=Rúa Nova 3\nCP=15001\n"
        << "POBLACION=A Coruña\nPROVINCIA=A Coruña\nNIF=B15000001\nMAIL=a@b.example\n"
        << "[COMPRADOR]\nPERSONA=F\nNOMBRE=María\nAPELLIDO1=Núñez\nAPELLIDO2=Pérez\n"
        << "DIRECCION=Rúa Vella 1\nCP=15002\nPOBLACION=A Coruña\nPROVINCIA=A Coruña\n"
        << "NIF=12345678Z\n[LINEAS]\n";
    static const char* rates[] = {"21", "10", "4", "0"};
    for (int n = 1; n <= lines; ++n) {
        out << "NOMBRE" << n << "=Artículo de catálogo número " << n << "\n"
            << "PRECIO" << n << "=" << (n % 997) << "," << (n % 100) << "\n"
            << "CANTIDAD" << n << "=" << (1 + n % 7) << "\n"
            << "DTO" << n << "=" << (n % 3 == 0 ? "5" : "0") << "\n"
            << "IVA" << n << "=" << rates[n % 4] << "\n";
    }
}

} // namespace InvoiceBuilder
