#include "session/InvoiceSession.h"

#include "common/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The steps of an invoice as the window and the tool run them: start, import
// (fixed file, chosen file, cancelled), generate and its target, signing and
// the centres.
class tst_InvoiceSession : public QObject {
    Q_OBJECT
private slots:
    void init();

    void startResetsTheRecordAndLoadsTheIssuer();
    void startWithoutRegistroIni();
    void importInvoice_data();
    void importInvoice();
    void importedCentresAreTheSessionsCentres();
    void bankEntityPrecondition_data();
    void bankEntityPrecondition();
    void saveTarget_data();
    void saveTarget();
    void generate_data();
    void generate();
    void generateTo_data();
    void generateTo();
    void signComposesTheParametersAndReportsAFailedStart();
    void signStartsNothingItShouldNot_data();
    void signStartsNothingItShouldNot();
    void generateAsksAboutTheCheckBeforeSaving();
    void signStartsNothingOnADocumentWithErrors();

private:
    QString home() const { return m_dir->path(); }
    QString inHome(const QString& relative) const { return m_dir->filePath(relative); }
    void write(const QString& relative, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QString ImportText =
    QStringLiteral("[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\nLINEAS=1\n"
                   "[VENDEDOR]\nENTIDAD=%1\nOFICINA=5678\nDC=01\nCUENTA=0123456789\nPERSONA=J\n"
                   "NOMBRE=Talleres Íñiguez S.L.\nNIF=B15123456\n"
                   "[COMPRADOR]\nPERSONA=J\nNOMBRE=Concello de Ames\nNIF=P1500200A\n"
                   "[ADMON]\nGESTOR=L01\nOFICINA=L02\nUNIDAD=L03\nNOMBREGESTOR=Xestor\n"
                   "NOMBREOFICINA=Intervención\nNOMBREUNIDAD=Obras\n"
                   "[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=100\nCANTIDAD1=1\nIVA1=21\n");

const QString RegistroText =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                   "IBAN=ES9121000418450200051332\nPERSONA=F\nNOMBRE=María\nAPELLIDO1=Núñez\n"
                   "APELLIDO2=Pérez\nNIF=12345678Z\nMAIL=maria@example.es\n"
                   "[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=AutoFirma.exe\nCOMANDO=Sign -certgui\n"
                   "FIRMA=-format FACTURAE\n");

// A chooser that answers once and counts how often it was asked.
struct Chooser {
    QString answer;
    int asked = 0;
    InvoiceSession::FileChooser function() {
        return [this] {
            ++asked;
            return answer;
        };
    }
};

} // namespace

void tst_InvoiceSession::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_InvoiceSession::write(const QString& relative, const QString& text) {
    const QString path = inHome(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

void tst_InvoiceSession::startResetsTheRecordAndLoadsTheIssuer() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(QString()));
    InvoiceSession session(home());
    session.record().setImportando(true);
    session.start(QDate(2024, 2, 29));

    const InvoiceRecord& r = session.record();
    QVERIFY(!r.importando());
    QVERIFY(session.record().lines().isOpen());
    QCOMPARE(r.issueDate(), QDate(2024, 2, 29));
    QCOMPARE(r.dueDate(), QDate(2024, 2, 29));
    QCOMPARE(r.personType(Party::Issuer), PersonType::NaturalPerson);
    QCOMPARE(r.text(RecordField::IssuerFirstName), QStringLiteral("María"));
    QCOMPARE(r.text(RecordField::IssuerSecondSurname), QStringLiteral("Pérez"));
    QCOMPARE(r.text(RecordField::Iban), QStringLiteral("ES9121000418450200051332"));
    QVERIFY(session.hasBankData());
}

void tst_InvoiceSession::startWithoutRegistroIni() {
    InvoiceSession session(home());
    session.start(QDate(2024, 1, 2));
    QVERIFY(session.record().lines().isOpen());
    QCOMPARE(session.record().issueDate(), QDate(2024, 1, 2));
    QCOMPARE(session.record().text(RecordField::IssuerCorporateName), QString());
    QVERIFY(!session.hasBankData());
}

void tst_InvoiceSession::importInvoice_data() {
    QTest::addColumn<bool>("fixedFile");
    QTest::addColumn<QString>("chosen"); // relative to home; empty cancels
    QTest::addColumn<bool>("imported");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("nombreFichero");

    QTest::newRow("the fixed file, nobody asked") << true << "elsewhere/F9.ini" << true << 0 << "";
    QTest::newRow("a chosen file keeps its name")
        << false << "facturas/F0001.ini" << true << 1 << "F0001";
    QTest::newRow("cancelled") << false << "" << false << 1 << "";
}

void tst_InvoiceSession::importInvoice() {
    QFETCH(bool, fixedFile);
    QFETCH(QString, chosen);
    if (fixedFile)
        write(QStringLiteral("Importa/Factura.Ini"), ImportText.arg(QStringLiteral("1234")));
    if (!chosen.isEmpty())
        write(chosen, ImportText.arg(QStringLiteral("1234")));

    InvoiceSession session(home());
    session.start();
    session.record().setText(RecordField::InvoiceSeries, QStringLiteral("before"));
    Chooser chooser{chosen.isEmpty() ? QString() : inHome(chosen)};
    QTEST(session.importInvoice(chooser.function()), "imported");
    QTEST(chooser.asked, "asked");

    const InvoiceRecord& r = session.record();
    QVERIFY(!r.importando());
    QVERIFY(r.lines().isOpen());
    QTEST(r.nombreFichero(), "nombreFichero");
    QFETCH(bool, imported);
    if (imported) {
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("A"));
        QCOMPARE(r.lines().count(), 1);
        QCOMPARE(r.text(RecordField::Iban), QStringLiteral("ES5812345678010123456789"));
    } else {
        // Cancelling loses nothing.
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("before"));
        QCOMPARE(r.lines().count(), 0);
        QCOMPARE(r.rutaDelFichero(), QString());
    }
}

void tst_InvoiceSession::importedCentresAreTheSessionsCentres() {
    write(QStringLiteral("F1.ini"), ImportText.arg(QStringLiteral("1234")));
    InvoiceSession session(home());
    session.start();
    session.importChosenFile(inHome(QStringLiteral("F1.ini")));
    QVERIFY(session.record().isAdministration());
    AdministrationCentres c = session.centres();
    QCOMPARE(c.managingCode, QStringLiteral("L01"));
    QCOMPARE(c.officeCode, QStringLiteral("L02"));
    QCOMPARE(c.unitCode, QStringLiteral("L03"));
    QCOMPARE(c.managingName, QStringLiteral("Xestor"));
    QCOMPARE(c.officeName, QStringLiteral("Intervención"));
    QCOMPARE(c.unitName, QStringLiteral("Obras"));

    // Each of the six goes back where it came from.
    c = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
         QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    session.setCentres(c);
    QCOMPARE(session.record().text(RecordField::ManagingBodyCode), QStringLiteral("1"));
    QCOMPARE(session.record().text(RecordField::ManagingBodyName), QStringLiteral("2"));
    QCOMPARE(session.record().text(RecordField::AccountingOfficeCode), QStringLiteral("3"));
    QCOMPARE(session.record().text(RecordField::AccountingOfficeName), QStringLiteral("4"));
    QCOMPARE(session.record().text(RecordField::ProcessingUnitCode), QStringLiteral("5"));
    QCOMPARE(session.record().text(RecordField::ProcessingUnitName), QStringLiteral("6"));
}

void tst_InvoiceSession::bankEntityPrecondition_data() {
    QTest::addColumn<QString>("entity");
    QTest::addColumn<bool>("passes");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks pass") << "  " << true;
    QTest::newRow("filled") << "2100" << true;
}

void tst_InvoiceSession::bankEntityPrecondition() {
    QFETCH(QString, entity);
    InvoiceSession session(home());
    session.record().setText(RecordField::BankEntity, entity);
    QTEST(session.hasBankData(), "passes");
    QCOMPARE(InvoiceSession::MissingBankDataMessage,
             QStringLiteral("¡¡¡ Debes cumplimentar los datos bancarios !!!"));
}

void tst_InvoiceSession::saveTarget_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("target");
    QTest::newRow("both empty: the dialog asks") << ""
                                                 << ""
                                                 << "";
    QTest::newRow("import file picked") << "F0001"
                                        << "D:\\Datos\\"
                                        << "D:\\Datos\\F0001.XML";
    QTest::newRow("two points") << "a.b"
                                << "/srv/facturas/"
                                << "/srv/facturas/a.b.XML";
    QTest::newRow("folder only") << ""
                                 << "/srv/"
                                 << "/srv/.XML";
}

void tst_InvoiceSession::saveTarget() {
    QFETCH(QString, name);
    QFETCH(QString, folder);
    InvoiceSession session(home());
    session.record().setImportFile(name, folder);
    QTEST(session.saveTargetBesideImport(), "target");
}

void tst_InvoiceSession::generate_data() {
    QTest::addColumn<QString>("entity");
    QTest::addColumn<bool>("imported");     // through the chooser, so the name is kept
    QTest::addColumn<QString>("chosen");    // the save dialog's answer, relative to home
    QTest::addColumn<QString>("autoFirma"); // RUTAPROGRAMA in Registro.Ini
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("written"); // relative to home; empty: nothing
    QTest::addColumn<bool>("signNext");

    const int written = int(InvoiceSession::GenerateStatus::Written);
    const int missing = int(InvoiceSession::GenerateStatus::MissingBankData);
    const int cancelled = int(InvoiceSession::GenerateStatus::Cancelled);
    QTest::newRow("no bank entity") << "" << true << "out.xml"
                                    << "C:/AF" << missing << "" << false;
    QTest::newRow("beside the import, never signed") << "1234" << true << "out.xml"
                                                     << "C:/AF" << written << "F1.XML" << false;
    QTest::newRow("chosen, AutoFirma set") << "1234" << false << "out.xml"
                                           << "C:/AF" << written << "out.xml" << true;
    QTest::newRow("chosen, no AutoFirma") << "1234" << false << "out.xml"
                                          << "" << written << "out.xml" << false;
    QTest::newRow("chosen, AutoFirma folder of blanks") << "1234" << false << "out.xml"
                                                        << "   " << written << "out.xml" << false;
    QTest::newRow("save dialog cancelled") << "1234" << false << ""
                                           << "C:/AF" << cancelled << "" << false;
}

void tst_InvoiceSession::generate() {
    QFETCH(QString, entity);
    QFETCH(bool, imported);
    QFETCH(QString, chosen);
    QFETCH(QString, autoFirma);
    QFETCH(QString, written);
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(autoFirma));
    write(QStringLiteral("F1.ini"), ImportText.arg(entity));
    // Without the chooser the fixed file is read and no name is kept.
    if (!imported)
        write(QStringLiteral("Importa/Factura.Ini"), ImportText.arg(entity));

    InvoiceSession session(home());
    session.start();
    Chooser openDialog{inHome(QStringLiteral("F1.ini"))};
    QVERIFY(session.importInvoice(openDialog.function()));
    Chooser saveDialog{chosen.isEmpty() ? QString() : inHome(chosen)};
    const InvoiceSession::Generated generated = session.generate(saveDialog.function());

    QTEST(int(generated.status), "status");
    QTEST(generated.signNext, "signNext");
    QCOMPARE(generated.path, written.isEmpty() ? QString() : inHome(written));
    // The dialog asks only when the document has nowhere else to go.
    QCOMPARE(saveDialog.asked, entity.isEmpty() || imported ? 0 : 1);
    for (const QString& name : {QStringLiteral("F1.XML"), QStringLiteral("out.xml")})
        QCOMPARE(QFile::exists(inHome(name)), name == written);
    if (generated.signNext)
        QCOMPARE(session.record().text(RecordField::AutoFirmaProgram),
                 QStringLiteral("AutoFirma.exe"));
}

void tst_InvoiceSession::generateTo_data() {
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QString>("target"); // relative to home; empty: beside the import
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("error");
    QTest::newRow("beside the import") << "1234"
                                       << ""
                                       << "F1.XML"
                                       << "";
    QTest::newRow("to the given file") << "1234"
                                       << "sub/out.xml"
                                       << "sub/out.xml"
                                       << "";
    QTest::newRow("no bank entity") << ""
                                    << "out.xml"
                                    << ""
                                    << "¡¡¡ Debes cumplimentar los datos bancarios !!!";
}

void tst_InvoiceSession::generateTo() {
    QFETCH(QString, entity);
    QFETCH(QString, target);
    QFETCH(QString, written);
    QFETCH(QString, error);
    write(QStringLiteral("F1.ini"), ImportText.arg(entity));
    QVERIFY(QDir(home()).mkpath(QStringLiteral("sub")));
    InvoiceSession session(home());
    session.start();
    session.importChosenFile(inHome(QStringLiteral("F1.ini")));
    try {
        const QString path = session.generateTo(target.isEmpty() ? QString() : inHome(target));
        QVERIFY2(error.isEmpty(), "no error was thrown");
        QCOMPARE(path, inHome(written));
        QVERIFY(QFile::exists(path));
    } catch (const AppError& e) {
        QCOMPARE(e.message(), error);
        QVERIFY(QDir(home())
                    .entryList({QStringLiteral("*.XML"), QStringLiteral("*.xml")}, QDir::Files)
                    .isEmpty());
    }
}

void tst_InvoiceSession::signComposesTheParametersAndReportsAFailedStart() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(home()));
    InvoiceSession session(home());
    session.start();
    QVERIFY(session.loadSigningSettings());
    const QString document = inHome(QStringLiteral("Mis Facturas/F 1.xml"));
    const QString native = QDir::toNativeSeparators(document);
    // A document that passes the check, so signing goes as far as the start.
    QDir().mkpath(inHome(QStringLiteral("Mis Facturas")));
    QVERIFY(QFile::copy(QFINDTESTDATA("../facturae/data/other-program.xml"), document));
    // No AutoFirma.exe in the folder: the start fails and says so.
    QVERIFY(!session.sign(document).isEmpty());
    QCOMPARE(session.record().text(RecordField::AutoFirmaParameters),
             QStringLiteral("Sign -certgui -i %1 -o %2 -format FACTURAE")
                 .arg(native, native.chopped(3) + QStringLiteral("XSIG")));
}

// Settings that would add arguments or start a program outside the
// installation folder, and a document whose signed copy would be itself:
// refused with the reason, and nothing is started.
void tst_InvoiceSession::signStartsNothingItShouldNot_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("refusal"); // empty: AutoFirma starts

    const QString ok = QStringLiteral("firma.sh"), sign = QStringLiteral("Sign -certgui"),
                  xades = QStringLiteral("-format XADES"), doc = QStringLiteral("F1.xml");
    QTest::newRow("valid settings start it") << ok << sign << xades << doc << QString();
    QTest::newRow("command with added arguments")
        << ok << "Sign -certgui -o otro.xsig" << xades << doc << "el comando (COMANDO)";
    QTest::newRow("empty command") << ok << "" << xades << doc << "falta el comando";
    QTest::newRow("format with added arguments")
        << ok << sign << "-format XADES -o otro.xsig" << doc << "el formato de firma (FIRMA)";
    QTest::newRow("empty format") << ok << sign << "" << doc << "falta el formato";
    QTest::newRow("program in a parent folder")
        << "../fuera/firma.sh" << sign << xades << doc << "el programa (PROGRAMA)";
    QTest::newRow("program by absolute path")
        << "/bin/sh" << sign << xades << doc << "el programa (PROGRAMA)";
    QTest::newRow("program in a subfolder")
        << "sub/firma.sh" << sign << xades << doc << "el programa (PROGRAMA)";
    QTest::newRow("program is the parent folder")
        << ".." << sign << xades << doc << "el programa (PROGRAMA)";
    QTest::newRow("empty program") << "" << sign << xades << doc << "falta el nombre del programa";
    QTest::newRow("document already named .XSIG") << ok << sign << xades << "x.XSIG"
                                                  << "con el mismo nombre";
}

void tst_InvoiceSession::signStartsNothingItShouldNot() {
    QFETCH(QString, program);
    QFETCH(QString, command);
    QFETCH(QString, format);
    QFETCH(QString, document);
    QFETCH(QString, refusal);
#ifndef Q_OS_UNIX
    QSKIP("the fake signer is a shell script");
#endif
    // A signer that only leaves a mark, in the folder and outside it.
    const QString script = QStringLiteral("#!/bin/sh\ntouch \"%1\"\n").arg(inHome("started"));
    for (const QString& where : {QStringLiteral("af/firma.sh"), QStringLiteral("fuera/firma.sh"),
                                 QStringLiteral("af/sub/firma.sh")}) {
        write(where, script);
        QFile::setPermissions(inHome(where), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner);
    }
    write(QStringLiteral("Registro.Ini"),
          QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=%2\nCOMANDO=%3\nFIRMA=%4\n")
              .arg(inHome("af"), program, command, format));
    // A document that passes the check: only the settings and the name decide.
    QFile valid(QFINDTESTDATA("../facturae/data/other-program.xml"));
    QVERIFY(valid.open(QIODevice::ReadOnly));
    write(document, QString::fromUtf8(valid.readAll()));
    InvoiceSession session(home());
    session.start();
    QVERIFY(session.loadSigningSettings());
    QString error;
    try {
        error = session.sign(inHome(document));
    } catch (const AppError& e) {
        error = e.message();
    }
    if (refusal.isEmpty()) {
        QCOMPARE(error, QString());
        QVERIFY(QFile::exists(inHome("started")));
        return;
    }
    QVERIFY2(error.contains(refusal), qPrintable(error));
    QVERIFY(!QFile::exists(inHome("started")));
    QCOMPARE(session.signingSettingsProblem().isEmpty(), document.endsWith(u".XSIG"));
}

// The document about to be saved is checked; with errors the review decides,
// and a document saved with errors is never handed to AutoFirma.
void tst_InvoiceSession::generateAsksAboutTheCheckBeforeSaving() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(home()));
    for (const bool saveAnyway : {false, true}) {
        InvoiceSession session(home());
        session.start();
        session.record().setText(RecordField::BankEntity, QStringLiteral("2100"));
        const QString target = inHome(QStringLiteral("F%1.xml").arg(saveAnyway));
        CheckFindings reviewed;
        const InvoiceSession::Generated generated =
            session.generate([&] { return target; }, {},
                             [&](const CheckFindings& findings) {
                                 reviewed = findings;
                                 return saveAnyway;
                             });
        // No customer, no lines: the schema and the required texts say so.
        QVERIFY(hasErrors(reviewed));
        QCOMPARE(generated.findings.size(), reviewed.size());
        QCOMPARE(QFileInfo::exists(target), saveAnyway);
        QCOMPARE(generated.status, saveAnyway ? InvoiceSession::GenerateStatus::Written
                                              : InvoiceSession::GenerateStatus::Cancelled);
        QVERIFY(!generated.signNext); // AutoFirma's folder is set, but not on errors
    }
}

void tst_InvoiceSession::signStartsNothingOnADocumentWithErrors() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(home()));
    InvoiceSession session(home());
    session.start();
    QVERIFY(session.loadSigningSettings());
    QFile fixture(QFINDTESTDATA("../facturae/data/other-program.xml"));
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    const QString document = inHome(QStringLiteral("mal.xml"));
    write(QStringLiteral("mal.xml"), QString::fromUtf8(fixture.readAll().replace(
                                         "<InvoiceTotal>609.87<", "<InvoiceTotal>9.87<")));
    auto refusal = [&](const QString& path) {
        try {
            session.sign(path);
        } catch (const AppError& error) {
            return error.message();
        }
        return QString();
    };
    const QString refused = refusal(document);
    QVERIFY2(refused.contains(QStringLiteral("tiene errores")), qPrintable(refused));
    QCOMPARE(session.record().text(RecordField::AutoFirmaParameters), QString());
    QVERIFY(!refusal(inHome(QStringLiteral("no-existe.xml"))).isEmpty());
    QCOMPARE(session.record().text(RecordField::AutoFirmaParameters), QString());
}

QTEST_GUILESS_MAIN(tst_InvoiceSession)
#include "tst_InvoiceSession.moc"
