#include "BenchImportFile.h"

#include <QFile>
#include <QTextStream>

void writeImportFile(const QString& path, int lines) {
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
