#include "DecimalTestKit.h"
#include "common/AppError.h"
#include "invoice/BankAccount.h"
#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// The import file: value forms, defaults, early ends, parties, centres, lines.
class tst_InvoiceImport : public QObject {
    Q_OBJECT
private slots:
    void importedFileSetsTheSaveTarget_data();
    void importedFileSetsTheSaveTarget();
    void baseName_data();
    void baseName();
    void dates_data();
    void dates();
    void lineCount_data();
    void lineCount();
    void numbers_data();
    void numbers();
    void lineWithoutKeysIsEmptyAndExempt();
    void descriptionCutTo150();
    void issuer_data();
    void issuer();
    void customer_data();
    void customer();
    void centres_data();
    void centres();
    void ibanFollowsTheAccount_data();
    void ibanFollowsTheAccount();
    void numbersBeyondTheirLimitsStop_data();
    void withholdingRate_data();
    void withholdingRate();
    void numbersBeyondTheirLimitsStop();
    void windows1252File();
    void earlyEndLeavesTheLines();
    void bulkImportTotalsEqualPostByPost();
    void administrationWindowOnceEverythingIsIn();
};

namespace {

const QByteArray General = "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\n";

// Writes the import text into dir and imports it; returns the error text.
// asksForCentres: what the import says about asking for the centres.
QString runImport(InvoiceRecord& r, const QTemporaryDir& dir, const QByteArray& text,
                  bool dialog = true, const QString& name = QStringLiteral("F2020-15.ini"),
                  bool* asksForCentres = nullptr) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("cannot write the fixture");
    f.write(text);
    f.close();
    try {
        const bool asks = InvoiceImport::importFile(r, path, dialog);
        if (asksForCentres)
            *asksForCentres = asks;
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}

} // namespace

void tst_InvoiceImport::importedFileSetsTheSaveTarget_data() {
    QTest::addColumn<bool>("dialog");
    QTest::newRow("picked in the dialog") << true;
    QTest::newRow("fixed import file") << false;
}

void tst_InvoiceImport::importedFileSetsTheSaveTarget() {
    QFETCH(bool, dialog);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setImportFile(QStringLiteral("old"), QStringLiteral("/old/"));
    QCOMPARE(runImport(r, dir, General, dialog), QString());
    QCOMPARE(r.nombreFichero(), dialog ? QStringLiteral("F2020-15") : QString());
    QCOMPARE(r.rutaDelFichero(), dialog ? QDir(dir.path()).absolutePath() + u'/' : QString());
    QVERIFY(!r.importando());
}

void tst_InvoiceImport::baseName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("base");
    QTest::newRow("plain") << "/srv/F2020-15.ini"
                           << "F2020-15";
    QTest::newRow("two points") << "/srv/a.b.ini"
                                << "a.b";
    QTest::newRow("no point") << "/srv/factura"
                              << "factura";
    QTest::newRow("point in a folder only") << "/srv/v1.2/factura"
                                            << "factura";
    QTest::newRow("Windows path") << "D:\\Datos\\F0001.ini"
                                  << "F0001";
}

void tst_InvoiceImport::baseName() {
    QFETCH(QString, path);
    QTEST(InvoiceImport::baseNameOf(path), "base");
}

void tst_InvoiceImport::dates_data() {
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QDate>("issue");
    QTest::addColumn<QDate>("due");

    const QDate before(2000, 1, 1);
    QTest::newRow("both") << QByteArray("FECHA=15/03/2024\nVENCIMIENTO=5/4/2024\n") << ""
                          << QDate(2024, 3, 15) << QDate(2024, 4, 5);
    QTest::newRow("ISO forms") << QByteArray("FECHA=2024-03-15\nVENCIMIENTO=2024-04-05\n") << ""
                               << QDate(2024, 3, 15) << QDate(2024, 4, 5);
    QTest::newRow("due date missing")
        << QByteArray("FECHA=15/03/2024\n") << "" << QDate(2024, 3, 15) << QDate(1899, 12, 30);
    QTest::newRow("due date empty") << QByteArray("FECHA=15/03/2024\nVENCIMIENTO=\n") << ""
                                    << QDate(2024, 3, 15) << QDate(1899, 12, 30);
    // A date that is none stops the import with the key, why, and the form.
    const QString form = QStringLiteral("; escriba una fecha válida como dd/mm/aaaa");
    QTest::newRow("issue date missing")
        << QByteArray("VENCIMIENTO=5/4/2024\n") << "FECHA: falta la fecha de la factura" + form
        << before << before;
    QTest::newRow("issue date empty")
        << QByteArray("FECHA=\n") << "FECHA: falta la fecha de la factura" + form << before
        << before;
    QTest::newRow("day 32") << QByteArray("FECHA=32/01/2024\n")
                            << "FECHA: la fecha de la factura «32/01/2024» no existe: enero de "
                               "2024 tiene 31 días" +
                                   form
                            << before << before;
    QTest::newRow("31 February of a leap year")
        << QByteArray("FECHA=31/02/2024\n")
        << "FECHA: la fecha de la factura «31/02/2024» no existe: febrero de 2024 tiene 29 días" +
               form
        << before << before;
    QTest::newRow("29 February of a common year, ISO")
        << QByteArray("FECHA=2023-02-29\n")
        << "FECHA: la fecha de la factura «2023-02-29» no existe: febrero de 2023 tiene 28 días" +
               form
        << before << before;
    QTest::newRow("month 13") << QByteArray("FECHA=01/13/2024\n")
                              << "FECHA: la fecha de la factura «01/13/2024» no existe: no hay "
                                 "mes 13" +
                                     form
                              << before << before;
    QTest::newRow("before 1900")
        << QByteArray("FECHA=31/12/1899\n")
        << "FECHA: la fecha de la factura «31/12/1899» es anterior a 1900" + form << before
        << before;
    QTest::newRow("two-digit year")
        << QByteArray("FECHA=15/03/24\n")
        << "FECHA: la fecha de la factura «15/03/24» no es una fecha" + form << before << before;
    // A stopped import changes nothing, not even the dates read before.
    QTest::newRow("due date invalid")
        << QByteArray("FECHA=15/03/2024\nVENCIMIENTO=mañá\n")
        << "VENCIMIENTO: la fecha de vencimiento «mañá» no es una fecha" + form << before << before;
    QTest::newRow("a line's file date invalid")
        << QByteArray("FECHA=15/03/2024\nLINEAS=2\n[LINEAS]\nFECHAEXPEDIENTE2=30/02/2024\n[OTRA]\n")
        << "FECHAEXPEDIENTE2: la fecha del expediente de la línea 2 «30/02/2024» no existe: "
           "febrero de 2024 tiene 29 días" +
               form
        << before << before;
}

void tst_InvoiceImport::dates() {
    QFETCH(QByteArray, keys);
    QFETCH(QString, error);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setIssueDate(QDate(2000, 1, 1));
    r.setDueDate(QDate(2000, 1, 1));
    r.setText(RecordField::CustomerCorporateName, QStringLiteral("Previo"));
    r.setText(RecordField::Iban, QStringLiteral("previous"));
    r.lines().open();
    r.lines().append();
    r.lines().post();
    const QByteArray text = "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\n" + keys +
                            "LINEAS=2\n[COMPRADOR]\nPERSONA=J\nNOMBRE=Nuevo\n"
                            "[VENDEDOR]\nENTIDAD=2100\n[LINEAS]\nPRECIO1=1\n";
    QCOMPARE(runImport(r, dir, text), error);
    QTEST(r.issueDate(), "issue");
    QTEST(r.dueDate(), "due");
    QCOMPARE(r.text(RecordField::InvoiceSeries), error.isEmpty() ? QStringLiteral("A") : QString());
    QCOMPARE(r.text(RecordField::InvoiceNumber), error.isEmpty() ? QStringLiteral("7") : QString());
    QVERIFY(!r.importando());
    QVERIFY(r.lines().isOpen());
    if (error.isEmpty()) {
        QCOMPARE(r.lines().count(), 2);
        QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Nuevo"));
    } else {
        // The invoice is exactly as it was.
        QCOMPARE(r.lines().count(), 1);
        QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Previo"));
        QCOMPARE(r.text(RecordField::BankEntity), QString());
        QCOMPARE(r.text(RecordField::Iban), QStringLiteral("previous"));
    }
}

void tst_InvoiceImport::lineCount_data() {
    QTest::addColumn<QByteArray>("lineas");
    QTest::addColumn<int>("count");
    QTest::newRow("missing") << QByteArray() << 1;
    QTest::newRow("three") << QByteArray("LINEAS=3\n") << 3;
    QTest::newRow("zero") << QByteArray("LINEAS=0\n") << 0;
    QTest::newRow("negative") << QByteArray("LINEAS=-2\n") << 0;
    QTest::newRow("hexadecimal") << QByteArray("LINEAS=0x2\n") << 2;
    QTest::newRow("2^31 is not a whole number") << QByteArray("LINEAS=2147483648\n") << 1;
    QTest::newRow("not a number") << QByteArray("LINEAS=tres\n") << 1;
    QTest::newRow("empty") << QByteArray("LINEAS=\n") << 1;
}

void tst_InvoiceImport::lineCount() {
    QFETCH(QByteArray, lineas);
    QFETCH(int, count);
    QTemporaryDir dir;
    InvoiceRecord r;
    QCOMPARE(runImport(r, dir, General + lineas + "[LINEAS]\nNOMBRE1=uno\nNOMBRE2=dos\n"),
             QString());
    QCOMPARE(r.lines().count(), count);
    QCOMPARE(r.lines().currentRow(), count - 1);
    if (count > 0)
        QCOMPARE(r.lines().lines().at(0).description, QStringLiteral("uno"));
}

// Every form a line's number may take in a file: read with its value, or
// refused with the key, the text and what to write instead, before the
// invoice changes.
void tst_InvoiceImport::numbers_data() {
    QTest::addColumn<QByteArray>("precio");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("importe");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("error");
    auto read = [](const char* name, const QByteArray& text, const char* price, const char* importe,
                   const char* total) {
        QTest::newRow(name) << text << price << importe << total << QString();
    };
    read("decimal comma", "12,50", "12.5", "25", "22.5");
    read("exponent", "1,5e2", "150", "300", "270");
    read("sign and blanks", "  -3,25 ", "-3.25", "-6.5", "-5.85");
    read("whole, negative", "-3", "-3", "-6", "-5.4");
    read("quoted", "\"7,5\"", "7.5", "15", "13.5");
    read("empty", "", "0", "0", "0");
    read("eight decimals", "0,12345678", "0.12345678", "0.25", "0.22");
    read("half-cent tie", "1,3375", "1.3375", "2.68", "2.41");
    // The screen's own form.
    read("grouped thousands", "1.250,00", "1250", "2500", "2250");
    read("grouped, decimal comma", "1.234,50", "1234.5", "2469", "2222.1");
    read("two groups", "1.234.567,5", "1234567.5", "2469135", "2222221.5");
    read("grouped, negative", "-1.234,50", "-1234.5", "-2469", "-2222.1");

    auto refused = [](const char* name, const QByteArray& text, const QString& error) {
        QTest::newRow(name) << text << QString() << QString() << QString() << error;
    };
    const QString anyForm =
        QStringLiteral("escriba un número con la coma decimal, como 1234,50 o 1.234,50");
    refused("decimal point", "33.33",
            QStringLiteral("PRECIO1: «33.33» no es un número; escriba la coma decimal: 33,33"));
    refused("decimal point, one decimal", "12.5",
            QStringLiteral("PRECIO1: «12.5» no es un número; escriba la coma decimal: 12,5"));
    refused("point and three digits", "1.234",
            QStringLiteral("PRECIO1: «1.234» no es un número; escriba 1234 si son miles o 1,234 "
                           "si es una cifra con decimales"));
    refused("point and three digits, two before", "33.333",
            QStringLiteral("PRECIO1: «33.333» no es un número; escriba 33333 si son miles o "
                           "33,333 si es una cifra con decimales"));
    refused("points grouping without a comma", "1.234.567",
            QStringLiteral("PRECIO1: «1.234.567» no es un número; si son miles, escríbalo sin "
                           "puntos: 1234567"));
    refused("English grouping", "1,234.50",
            QStringLiteral("PRECIO1: «1,234.50» no es un número; escriba la coma decimal y los "
                           "miles sin separar: 1234,50"));
    refused("group of two", "1.23,5", "PRECIO1: «1.23,5» no es un número; " + anyForm);
    refused("group of four", "1.2345,6", "PRECIO1: «1.2345,6» no es un número; " + anyForm);
    refused("four digits before a group", "1234.567,5",
            "PRECIO1: «1234.567,5» no es un número; " + anyForm);
    refused("grouped with an exponent", "1.234,5e2",
            "PRECIO1: «1.234,5e2» no es un número; " + anyForm);
    refused("NaN", "NaN", "PRECIO1: «NaN» no es un número; " + anyForm);
    refused("hexadecimal", "0x10", "PRECIO1: «0x10» no es un número; " + anyForm);
    refused("exponent alone", "e5", "PRECIO1: «e5» no es un número; " + anyForm);
    refused("letters", "abc", "PRECIO1: «abc» no es un número; " + anyForm);
    refused("comma without decimals", "5,", "PRECIO1: «5,» no es un número; " + anyForm);
    refused("full-width digits", "\xef\xbc\x91\xef\xbc\x92",
            "PRECIO1: «１２» no es un número; " + anyForm);
    refused("no-break space grouping",
            "1\xc2\xa0"
            "234,50",
            "PRECIO1: «1\u00a0234,50» no es un número; " + anyForm);
    refused("no-break space after", "12,5\xc2\xa0",
            "PRECIO1: «12,5\u00a0» no es un número; " + anyForm);
}

void tst_InvoiceImport::numbers() {
    QFETCH(QByteArray, precio);
    QFETCH(QString, price);
    QFETCH(QString, importe);
    QFETCH(QString, total);
    QFETCH(QString, error);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::InvoiceSeries, QStringLiteral("OLD"));
    QCOMPARE(
        runImport(r, dir,
                  General + "[LINEAS]\nPRECIO1=" + precio + "\nCANTIDAD1=2\nDTO1=10\nIVA1=21\n"),
        error);
    if (!error.isEmpty()) {
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("OLD"));
        QCOMPARE(r.lines().count(), 0);
        return;
    }
    const InvoiceLine& line = r.lines().lines().at(0);
    QCOMPARE(line.price, D(qPrintable(price)));
    QCOMPARE(line.quantity, D(2.0));
    QCOMPARE(line.discountPct, D(10.0));
    QCOMPARE(line.vatRate, D(21.0));
    // The line arithmetic ran as for a typed line.
    QCOMPARE(line.amount, D(qPrintable(importe)));
    QCOMPARE(line.total, D(qPrintable(total)));
}

void tst_InvoiceImport::lineWithoutKeysIsEmptyAndExempt() {
    QTemporaryDir dir;
    InvoiceRecord r;
    QCOMPARE(runImport(r, dir, General), QString());
    QCOMPARE(r.lines().count(), 1);
    const InvoiceLine& line = r.lines().lines().at(0);
    QVERIFY(line.description.isEmpty());
    QCOMPARE(line.quantity, D(0.0));
    QCOMPARE(line.price, D(0.0));
    QCOMPARE(line.discountPct, D(0.0));
    QCOMPARE(line.vatRate, D(0.0)); // the new-line 21 never survives an import
    QVERIFY(line.isExempt());
    QVERIFY(line.fileReference.isEmpty());
    QVERIFY(line.fileDate.isNull());
}

void tst_InvoiceImport::descriptionCutTo150() {
    QTemporaryDir dir;
    InvoiceRecord r;
    const QString longText = QString(140, u'a') + QStringLiteral("ñÑáéíóúüÜ0123456789");
    QCOMPARE(runImport(r, dir,
                       General + "LINEAS=2\n[LINEAS]\nNOMBRE1=" + longText.toUtf8() +
                           "\nNOMBRE2=" + longText.left(150).toUtf8() + "\n"),
             QString());
    QCOMPARE(r.lines().lines().at(0).description, longText.left(150));
    QCOMPARE(r.lines().lines().at(1).description, longText.left(150));
}

void tst_InvoiceImport::issuer_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<PersonType>("type");
    QTest::addColumn<QStringList>("fields"); // corporate, first, contact, address, entity, iban

    const QByteArray bank = "ENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n";
    const QByteArray party = "NOMBRE=Nome\nAPELLIDO1=Ap1\nAPELLIDO2=Ap2\nDIRECCION=Rúa\n"
                             "CONTACTO=Contacto\nMAIL=m@x.es\n";
    QTest::newRow("legal entity") << "PERSONA=J\n" + bank + party << PersonType::LegalEntity
                                  << QStringList{"Nome", "",     "Contacto",
                                                 "Rúa",  "2100", "ES9121000418450200051332"};
    QTest::newRow("natural person, contact ignored")
        << "PERSONA=F\n" + bank + party << PersonType::NaturalPerson
        << QStringList{"Previa S.L.", "Nome", "", "Rúa", "2100", "ES9121000418450200051332"};
    QTest::newRow("no PERSONA: only the account")
        << bank + party << PersonType::LegalEntity
        << QStringList{"Previa S.L.", "", "Previo", "Previa 1", "2100", "ES9121000418450200051332"};
    QTest::newRow("lower case: only the account")
        << "PERSONA=j\n" + bank + party << PersonType::LegalEntity
        << QStringList{"Previa S.L.", "", "Previo", "Previa 1", "2100", "ES9121000418450200051332"};
    QTest::newRow("a word: only the account")
        << "PERSONA=Fisica\n" + bank + party << PersonType::LegalEntity
        << QStringList{"Previa S.L.", "", "Previo", "Previa 1", "2100", "ES9121000418450200051332"};
    QTest::newRow("no bank keys: account and IBAN empty")
        << "PERSONA=J\n" + party << PersonType::LegalEntity
        << QStringList{"Nome", "", "Contacto", "Rúa", "", ""};
}

void tst_InvoiceImport::issuer() {
    QFETCH(QByteArray, section);
    QFETCH(QStringList, fields);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::IssuerCorporateName, QStringLiteral("Previa S.L."));
    r.setText(RecordField::IssuerContact, QStringLiteral("Previo"));
    r.setText(RecordField::IssuerAddress, QStringLiteral("Previa 1"));
    r.setText(RecordField::BankEntity, QStringLiteral("9999"));
    r.setText(RecordField::Iban, QStringLiteral("previous"));
    QCOMPARE(runImport(r, dir, General + "[VENDEDOR]\n" + section), QString());
    QTEST(r.personType(Party::Issuer), "type");
    QCOMPARE(r.text(RecordField::IssuerCorporateName), fields[0]);
    QCOMPARE(r.text(RecordField::IssuerFirstName), fields[1]);
    QCOMPARE(r.text(RecordField::IssuerContact), fields[2]);
    QCOMPARE(r.text(RecordField::IssuerAddress), fields[3]);
    QCOMPARE(r.text(RecordField::BankEntity), fields[4]);
    QCOMPARE(r.text(RecordField::Iban), fields[5]);
}

void tst_InvoiceImport::customer_data() {
    QTest::addColumn<QByteArray>("persona");
    QTest::addColumn<PersonType>("type");
    QTest::addColumn<QStringList>("fields"); // corporate, first, surnames, contact, tax number

    QTest::newRow("legal entity") << QByteArray("J") << PersonType::LegalEntity
                                  << QStringList{"Concello", "", " ", "Compras", "P15"};
    QTest::newRow("natural person: contact empty")
        << QByteArray("F") << PersonType::NaturalPerson
        << QStringList{"Previo S.A.", "María", "López Díaz", "", "P15"};
    QTest::newRow("lower case f: unchanged")
        << QByteArray("f") << PersonType::LegalEntity
        << QStringList{"Previo S.A.", "", " ", "Antiguo", "X1"};
    QTest::newRow("Spanish word: unchanged")
        << QByteArray("Juridica") << PersonType::LegalEntity
        << QStringList{"Previo S.A.", "", " ", "Antiguo", "X1"};
}

void tst_InvoiceImport::customer() {
    QFETCH(QByteArray, persona);
    QFETCH(QStringList, fields);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::CustomerCorporateName, QStringLiteral("Previo S.A."));
    r.setText(RecordField::CustomerContact, QStringLiteral("Antiguo"));
    r.setText(RecordField::CustomerTaxId, QStringLiteral("X1"));
    QCOMPARE(runImport(r, dir,
                       General + "[COMPRADOR]\nPERSONA=" + persona +
                           "\nNOMBRE=" + (persona == "J" ? "Concello" : "María") +
                           "\nAPELLIDO1=López\nAPELLIDO2=Díaz\nNIF=P15\nCONTACTO=Compras\n"
                           "MAIL=ignored@x.es\n"),
             QString());
    QTEST(r.personType(Party::Customer), "type");
    QCOMPARE(r.text(RecordField::CustomerCorporateName), fields[0]);
    QCOMPARE(r.text(RecordField::CustomerFirstName), fields[1]);
    QCOMPARE(r.text(RecordField::CustomerFirstSurname) + u' ' +
                 r.text(RecordField::CustomerSecondSurname),
             fields[2]);
    QCOMPARE(r.text(RecordField::CustomerContact), fields[3]);
    QCOMPARE(r.text(RecordField::CustomerTaxId), fields[4]);
    QVERIFY(r.text(RecordField::IssuerEmail).isEmpty());
}

void tst_InvoiceImport::centres_data() {
    QTest::addColumn<QByteArray>("admon");
    QTest::addColumn<bool>("tickedBefore");
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<bool>("tickedAfter");
    QTest::addColumn<int>("handlerCalls"); // 1: the centres are asked for

    const QByteArray full = "[ADMON]\nGESTOR=L01\nOFICINA=L02\nUNIDAD=L03\nNOMBREGESTOR=Xestor\n"
                            "NOMBREOFICINA=Intervención\nNOMBREUNIDAD=Obras\n";
    QTest::newRow("fixed file: the window opens") << full << false << false << true << 1;
    QTest::newRow("file from the dialog: ticked silently") << full << false << true << true << 0;
    QTest::newRow("already ticked: nothing opens") << full << true << false << true << 0;
    // A private customer after an administration: the tick goes with the centres.
    QTest::newRow("ADMON missing while ticked: cleared")
        << QByteArray() << true << false << false << 0;
    QTest::newRow("ADMON missing, unticked") << QByteArray() << false << false << false << 0;
    QTest::newRow("OFICINA alone ticks")
        << QByteArray("[ADMON]\nOFICINA=L02\n") << false << false << true << 1;
    QTest::newRow("UNIDAD alone ticks, from the dialog")
        << QByteArray("[ADMON]\nUNIDAD=L03\nNOMBREUNIDAD=Obras\n") << false << true << true << 0;
    QTest::newRow("only names do not tick")
        << QByteArray("[ADMON]\nNOMBREGESTOR=Xestor\n") << true << true << false << 0;
}

void tst_InvoiceImport::centres() {
    QFETCH(QByteArray, admon);
    QFETCH(bool, tickedBefore);
    QFETCH(bool, dialog);
    QTemporaryDir dir;
    InvoiceRecord r;
    for (RecordField f : {RecordField::ManagingBodyCode, RecordField::AccountingOfficeCode,
                          RecordField::ProcessingUnitCode, RecordField::ManagingBodyName,
                          RecordField::AccountingOfficeName, RecordField::ProcessingUnitName})
        r.setText(f, QStringLiteral("previous"));
    r.setAdministration(tickedBefore);
    bool asks = false;
    QCOMPARE(runImport(r, dir, General + admon, dialog, QStringLiteral("F2020-15.ini"), &asks),
             QString());
    QTEST(r.isAdministration(), "tickedAfter");
    QTEST(int(asks), "handlerCalls");
    QVERIFY(!r.importando());

    const bool full = admon.contains("GESTOR=L01");
    QCOMPARE(r.text(RecordField::ManagingBodyCode), full ? QStringLiteral("L01") : QString());
    QCOMPARE(r.text(RecordField::AccountingOfficeCode),
             admon.contains("OFICINA=L02") ? QStringLiteral("L02") : QString());
    QCOMPARE(r.text(RecordField::ProcessingUnitCode),
             admon.contains("UNIDAD=L03") ? QStringLiteral("L03") : QString());
    QCOMPARE(r.text(RecordField::ManagingBodyName),
             admon.contains("=Xestor") ? QStringLiteral("Xestor") : QString());
    QCOMPARE(r.text(RecordField::AccountingOfficeName),
             full ? QStringLiteral("Intervención") : QString());
    QCOMPARE(r.text(RecordField::ProcessingUnitName),
             admon.contains("=Obras") ? QStringLiteral("Obras") : QString());
}

// The IBAN follows the imported account: missing control digits are worked
// out; an incomplete account gives no IBAN.
void tst_InvoiceImport::ibanFollowsTheAccount_data() {
    QTest::addColumn<QByteArray>("bank");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("iban");
    QTest::newRow("complete") << QByteArray(
                                     "ENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n")
                              << "45"
                              << "ES9121000418450200051332";
    QTest::newRow("control digits worked out")
        << QByteArray("ENTIDAD=2100\nOFICINA=0418\nCUENTA=0200051332\n") << "45"
        << "ES9121000418450200051332";
    QTest::newRow("account number too long")
        << QByteArray("ENTIDAD=2100\nOFICINA=0418\nCUENTA=020005133299\n") << ""
        << "";
    QTest::newRow("office missing") << QByteArray("ENTIDAD=2100\nCUENTA=0200051332\n") << ""
                                    << "";
}

void tst_InvoiceImport::ibanFollowsTheAccount() {
    QFETCH(QByteArray, bank);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::Iban, QStringLiteral("previous"));
    QCOMPARE(runImport(r, dir, General + "[VENDEDOR]\n" + bank), QString());
    QTEST(r.text(RecordField::BankControlDigits), "control");
    QTEST(r.text(RecordField::Iban), "iban");
}

// A number the invoice cannot hold stops the import, naming the key; the
// invoice is exactly as it was.
void tst_InvoiceImport::numbersBeyondTheirLimitsStop_data() {
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QString>("error");
    const QByteArray ok = "PRECIO1=1\nCANTIDAD1=1\nIVA1=21\nPRECIO2=2\nCANTIDAD2=1\n";
    QTest::newRow("nine decimals") << ok + "PRECIO3=0,123456789\n"
                                   << "PRECIO3: el precio «0,123456789» tiene más de 8 decimales";
    QTest::newRow("quantity over 10^11")
        << ok + "CANTIDAD3=100000000000,5\n"
        << "CANTIDAD3: la cantidad «100000000000,5» debe estar entre -100.000.000.000 y "
           "100.000.000.000";
    QTest::newRow("price under -10^11 by exponent")
        << ok + "PRECIO3=-1,1e11\n"
        << "PRECIO3: el precio «-1,1e11» debe estar entre -100.000.000.000 y 100.000.000.000";
    QTest::newRow("beyond any number")
        << ok + "PRECIO3=1e400\n"
        << "PRECIO3: el precio «1e400» debe estar entre -100.000.000.000 y 100.000.000.000";
    QTest::newRow("discount under -100")
        << ok + "DTO3=-100,5\n"
        << "DTO3: el descuento «-100,5» debe estar entre -100 y 100 (negativo, un cargo)";
    QTest::newRow("negative VAT") << ok + "IVA3=-1\n"
                                  << "IVA3: el tipo de IVA «-1» debe estar entre 0 y 100";
    QTest::newRow("VAT over 100") << ok + "IVA3=100,00000001\n"
                                  << "IVA3: el tipo de IVA «100,00000001» debe estar entre 0 y 100";
    QTest::newRow("at the limits") << ok + "PRECIO3=100000000000\nCANTIDAD3=-100000000000\n"
                                           "DTO3=-100\nIVA3=100\n"
                                   << "";
    QTest::newRow("trailing zeros past eight decimals") << ok + "PRECIO3=0,1234567800000\n"
                                                        << "";
}

void tst_InvoiceImport::numbersBeyondTheirLimitsStop() {
    QFETCH(QByteArray, lines);
    QFETCH(QString, error);
    QTemporaryDir dir;
    InvoiceRecord r;
    r.setText(RecordField::InvoiceSeries, QStringLiteral("OLD"));
    r.setText(RecordField::CustomerCorporateName, QStringLiteral("Previo"));
    r.setText(RecordField::ManagingBodyCode, QStringLiteral("G0"));
    r.setAdministration(true);
    r.lines().open();
    r.lines().append();
    InvoiceLine line = *r.lines().currentLine();
    line.price = D(5.0);
    line.quantity = D(1.0);
    r.lines().setLine(line);
    r.lines().post();
    const InvoiceTotals before = r.totals();

    QCOMPARE(
        runImport(r, dir,
                  General + "LINEAS=3\n[COMPRADOR]\nPERSONA=J\nNOMBRE=Nuevo\n[LINEAS]\n" + lines),
        error);
    QVERIFY(!r.importando());
    if (error.isEmpty()) {
        QCOMPARE(r.lines().count(), 3);
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("A"));
        return;
    }
    QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("OLD"));
    QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Previo"));
    QCOMPARE(r.text(RecordField::ManagingBodyCode), QStringLiteral("G0"));
    QVERIFY(r.isAdministration());
    QCOMPARE(r.lines().count(), 1);
    QCOMPARE(r.lines().lines().at(0).price, D(5.0));
    QCOMPARE(r.totals(), before);
}

// The rate comes from the file's IRPF, else the usual rate, never from the
// invoice shown before; one that is no rate stops the import.
void tst_InvoiceImport::withholdingRate_data() {
    QTest::addColumn<QByteArray>("irpf"); // the key's line, if any
    QTest::addColumn<QString>("usual");   // "!" when reading it fails
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("error");
    QTest::newRow("file's rate") << QByteArray("IRPF=15\n") << "7"
                                 << "15" << QString();
    QTest::newRow("file's rate with decimals") << QByteArray("IRPF=7,50\n") << ""
                                               << "7,5" << QString();
    QTest::newRow("no key: the usual rate") << QByteArray() << "7"
                                            << "7" << QString();
    QTest::newRow("empty key: the usual rate") << QByteArray("IRPF=\n") << "19"
                                               << "19" << QString();
    QTest::newRow("no key, no usual rate") << QByteArray() << ""
                                           << "0" << QString();
    QTest::newRow("file's 0 over the usual rate") << QByteArray("IRPF=0\n") << "15"
                                                  << "0" << QString();
    QTest::newRow("a bad usual rate is not asked for") << QByteArray("IRPF=15\n") << "!"
                                                       << "15" << QString();
    QTest::newRow("a bad usual rate stops a file without IRPF")
        << QByteArray() << "!" << QString() << QStringLiteral("no usual rate");
    QTest::newRow("over 100") << QByteArray("IRPF=150\n") << "" << QString()
                              << QStringLiteral("IRPF: el tipo de retención del I.R.P.F. «150» "
                                                "debe estar entre 0 y 100");
    QTest::newRow("negative") << QByteArray("IRPF=-15\n") << "" << QString()
                              << QStringLiteral("IRPF: el tipo de retención del I.R.P.F. «-15» "
                                                "debe estar entre 0 y 100");
    QTest::newRow("letters") << QByteArray("IRPF=abc\n") << "" << QString()
                             << QStringLiteral("IRPF: «abc» no es un número; escriba un número "
                                               "con la coma decimal, como 1234,50 o 1.234,50");
    QTest::newRow("point and three digits")
        << QByteArray("IRPF=1.500\n") << "" << QString()
        << QStringLiteral("IRPF: «1.500» no es un número; escriba 1500 si son miles o 1,5 si es "
                          "una cifra con decimales");
    QTest::newRow("decimal point") << QByteArray("IRPF=15.5\n") << "" << QString()
                                   << QStringLiteral("IRPF: «15.5» no es un número; escriba la "
                                                     "coma decimal: 15,5");
}

void tst_InvoiceImport::withholdingRate() {
    QFETCH(QByteArray, irpf);
    QFETCH(QString, usual);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(General + irpf + "[LINEAS]\nPRECIO1=100\nCANTIDAD1=1\nIVA1=21\n");
    f.close();
    InvoiceRecord r;
    r.setText(RecordField::InvoiceSeries, QStringLiteral("OLD"));
    r.setText(RecordField::WithholdingRate, QStringLiteral("18")); // the invoice shown before
    const InvoiceImport::UsualRate usualRate = [&] {
        if (usual == u"!")
            throw AppError(QStringLiteral("no usual rate"));
        return usual.isEmpty() ? QStringLiteral("0") : usual;
    };
    QString message;
    try {
        InvoiceImport::importFile(r, path, true, usualRate);
    } catch (const AppError& e) {
        message = e.message();
    }
    QCOMPARE(message, error);
    if (!error.isEmpty()) {
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("OLD"));
        QCOMPARE(r.text(RecordField::WithholdingRate), QStringLiteral("18"));
        return;
    }
    QTEST(r.text(RecordField::WithholdingRate), "rate");
    QCOMPARE(r.totalValue(TotalBox::Irpf), Decimal::percentOf(D(100.0), r.withholdingRate(), 2));
}

void tst_InvoiceImport::windows1252File() {
    const QString path = QFINDTESTDATA("data/import-windows-1252.ini");
    QVERIFY(!path.isEmpty());
    InvoiceRecord r;
    InvoiceImport::importFile(r, path, true);
    QCOMPARE(r.nombreFichero(), QStringLiteral("import-windows-1252"));
    QCOMPARE(r.personType(Party::Issuer), PersonType::NaturalPerson);
    QCOMPARE(r.text(RecordField::IssuerFirstName), QStringLiteral("Íñigo"));
    QCOMPARE(r.text(RecordField::IssuerFirstSurname), QStringLiteral("Güemes"));
    QCOMPARE(r.text(RecordField::IssuerSecondSurname), QStringLiteral("Ibáñez"));
    QCOMPARE(r.text(RecordField::IssuerAddress), QStringLiteral("Rúa Ósca 3"));
    QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Peñas Ñandú S.L."));
    QCOMPARE(r.text(RecordField::CustomerContact), QStringLiteral("Señora Núñez"));
    QCOMPARE(r.lines().lines().at(0).description, QStringLiteral("Revisión técnica €"));
    QCOMPARE(r.totalValue(TotalBox::Total), D("25.41"));
}

void tst_InvoiceImport::earlyEndLeavesTheLines() {
    QTemporaryDir dir;
    InvoiceRecord r;
    QCOMPARE(runImport(r, dir, General + "LINEAS=3\n[LINEAS]\nPRECIO1=1\nCANTIDAD1=1\n"),
             QString());
    QCOMPARE(r.lines().count(), 3);
    // An import that stops leaves the lines it found.
    QCOMPARE(runImport(r, dir, "[DATOS_GENERALES]\nLINEAS=2\n"),
             QStringLiteral(
                 "FECHA: falta la fecha de la factura; escriba una fecha válida como dd/mm/aaaa"));
    QCOMPARE(r.lines().count(), 3);
    QVERIFY(r.lines().isOpen());
    QVERIFY(!r.importando());
    // One that completes replaces them.
    QCOMPARE(runImport(r, dir, General + "LINEAS=2\n"), QString());
    QCOMPARE(r.lines().count(), 2);
}

// One recalculation after the whole import must give exactly what a
// recalculation after every posted line gives.
void tst_InvoiceImport::bulkImportTotalsEqualPostByPost() {
    const int count = 400;
    QRandomGenerator random(20240315);
    const QList<const char*> rates = {"21", "10", "4", "0", "7", "21,5", "20,5", "3,5", "10,04"};
    const QList<const char*> prices = {"0,005",  "0,125", "2,675",     "10,05", "1,005",
                                       "-3,335", "1e-3",  "99999,995", "0,285", "33,3333333"};
    QByteArray text = General + "IRPF=15\nLINEAS=" + QByteArray::number(count) + "\n[LINEAS]\n";
    for (int n = 1; n <= count; ++n) {
        const QByteArray k = QByteArray::number(n);
        text += "PRECIO" + k + "=" + prices[random.bounded(prices.size())] + "\n";
        text += "CANTIDAD" + k + "=" + QByteArray::number(random.bounded(1, 30)) + ",5\n";
        text += "DTO" + k + "=" + QByteArray::number(random.bounded(0, 40)) + ",25\n";
        text += "IVA" + k + "=" + rates[random.bounded(rates.size())] + "\n";
    }
    QTemporaryDir dir;
    InvoiceRecord imported;
    QCOMPARE(runImport(imported, dir, text), QString());
    QCOMPARE(imported.lines().count(), count);

    InvoiceRecord byHand;
    byHand.setText(RecordField::WithholdingRate, QStringLiteral("15"));
    byHand.lines().open();
    int recalculations = 0;
    connect(&byHand.lines(), &Memoria::afterPost, this, [&] { ++recalculations; });
    for (const InvoiceLine& source : imported.lines().lines()) {
        byHand.lines().append();
        InvoiceLine line = *byHand.lines().currentLine();
        line.description = source.description;
        line.price = source.price;
        line.quantity = source.quantity;
        line.discountPct = source.discountPct;
        line.vatRate = source.vatRate;
        byHand.lines().setLine(line);
        byHand.lines().post();
    }
    QCOMPARE(recalculations, count);
    for (int b = 0; b < TotalBoxCount; ++b)
        QCOMPARE(imported.totalValue(TotalBox(b)), byHand.totalValue(TotalBox(b)));
    QVERIFY(!imported.totalValue(TotalBox::Total).isZero());
    QCOMPARE(imported.lines().currentRow(), count - 1);
}

// With the fixed file, the centres are asked for once the import is over:
// its lines, its account and its IBAN are in.
void tst_InvoiceImport::administrationWindowOnceEverythingIsIn() {
    QTemporaryDir dir;
    InvoiceRecord r;
    bool asks = false;
    QCOMPARE(runImport(r, dir,
                       General + "LINEAS=2\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\n"
                                 "CUENTA=0200051332\n[ADMON]\nGESTOR=L01\n[LINEAS]\n"
                                 "NOMBRE1=Uno\nPRECIO1=1\nNOMBRE2=Dos\nPRECIO2=2\n",
                       false, QStringLiteral("F2020-15.ini"), &asks),
             QString());
    QVERIFY(asks);
    QVERIFY(!r.importando());
    QCOMPARE(r.lines().count(), 2);
    QCOMPARE(r.text(RecordField::Iban), QStringLiteral("ES9121000418450200051332"));
}

QTEST_APPLESS_MAIN(tst_InvoiceImport)
#include "tst_InvoiceImport.moc"
