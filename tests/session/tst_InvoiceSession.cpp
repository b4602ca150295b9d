#include "../signing/TestPki.h"
#include "InvoiceBuilder.h"
#include "session/InvoiceSession.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "signing/SigningCertificate.h"
#include "storage/DraftFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// The steps of an invoice as the window and the tool run them: start, a new
// invoice and its number, import (fixed file, chosen file, cancelled), drafts,
// generate and its target, signing and the centres.
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

    void startNewIsTheProgramsStart();
    void startNewProposesTheNextNumber_data();
    void startNewProposesTheNextNumber();
    void startNewFollowsTheNumbersGenerated();
    void startNewTakesTheUsersOwnSeries_data();
    void startNewTakesTheUsersOwnSeries();
    void writingTheUsersInvoiceMakesItsSeriesTheirs();
    void draftReadBackGivesTheSameInvoiceAndDocument();
    void failedDraftSaveKeepsTheOldDraft_data();
    void failedDraftSaveKeepsTheOldDraft();
    void filesFollowTheInvoice();
    void prepareSigningBuildsTheJob_data();
    void prepareSigningBuildsTheJob();
    void prepareSigningRefuses_data();
    void prepareSigningRefuses();
    void certificateSigningRefusesADocumentWithErrors();

private:
    QString home() const { return m_dir->path(); }
    QString inHome(const QString& relative) const { return m_dir->filePath(relative); }
    void write(const QString& relative, const QString& text);
    // A copy of a document that passes the check, at relative; and one whose
    // total is wrong, so the check finds an error.
    void writeValidDocument(const QString& relative);
    void writeDocumentWithErrors(const QString& relative);

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

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The message of the AppError step throws, or empty when it throws none.
template <typename Step> QString refusalOf(Step step) {
    try {
        step();
    } catch (const AppError& error) {
        return error.message();
    }
    return QString();
}

// Every text field, the party kinds, the ticks, the totals and the lines as a
// draft holds them: what a person could see differ between two records.
void compareRecords(InvoiceRecord& actual, InvoiceRecord& expected) {
    for (int i = 0; i < RecordFieldCount; ++i) {
        const auto field = static_cast<RecordField>(i);
        QVERIFY2(actual.text(field) == expected.text(field),
                 qPrintable(QStringLiteral("field %1: «%2» instead of «%3»")
                                .arg(i)
                                .arg(actual.text(field), expected.text(field))));
    }
    QCOMPARE(actual.personType(Party::Issuer), expected.personType(Party::Issuer));
    QCOMPARE(actual.personType(Party::Customer), expected.personType(Party::Customer));
    QCOMPARE(actual.isAdministration(), expected.isAdministration());
    QCOMPARE(actual.importando(), expected.importando());
    QCOMPARE(actual.issueDate(), expected.issueDate());
    QCOMPARE(actual.dueDate(), expected.dueDate());
    QVERIFY(actual.reasons() == expected.reasons());
    QCOMPARE(actual.nombreFichero(), expected.nombreFichero());
    QCOMPARE(actual.rutaDelFichero(), expected.rutaDelFichero());
    QCOMPARE(actual.lines().isOpen(), expected.lines().isOpen());
    QCOMPARE(actual.lines().isEditing(), expected.lines().isEditing());
    QCOMPARE(DraftFile::text(actual), DraftFile::text(expected));
}

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

void tst_InvoiceSession::writeValidDocument(const QString& relative) {
    QFile valid(QFINDTESTDATA("../facturae/data/other-program.xml"));
    QVERIFY(valid.open(QIODevice::ReadOnly));
    write(relative, QString::fromUtf8(valid.readAll()));
}

void tst_InvoiceSession::writeDocumentWithErrors(const QString& relative) {
    QFile valid(QFINDTESTDATA("../facturae/data/other-program.xml"));
    QVERIFY(valid.open(QIODevice::ReadOnly));
    write(relative, QString::fromUtf8(
                        valid.readAll().replace("<InvoiceTotal>609.87<", "<InvoiceTotal>9.87<")));
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
    // What was read is the invoice as kept; cancelled, the change typed
    // before still counts. Only a file a person chose is where its draft goes.
    QCOMPARE(session.changes().isModified(), !imported);
    const QString read = fixedFile ? inHome(QStringLiteral("Importa/Factura.Ini")) : inHome(chosen);
    QCOMPARE(session.files().importedFrom, imported ? read : QString());
    QCOMPARE(session.files().draftPath, imported && !fixedFile ? read : QString());
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
             QStringLiteral("¡¡¡ Debe cumplimentar los datos bancarios !!!"));
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
        QCOMPARE(session.autoFirmaSettings().program, QStringLiteral("AutoFirma.exe"));
}

// The tool's generate checks the document as the window does (this one has
// tax ids the check refuses) and saves it unless told not to save errors.
void tst_InvoiceSession::generateTo_data() {
    QTest::addColumn<QString>("entity");
    QTest::addColumn<QString>("target"); // relative to home; empty: beside the import
    QTest::addColumn<bool>("saveErrors");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("error");
    QTest::newRow("beside the import") << "1234"
                                       << "" << true << "F1.XML"
                                       << "";
    QTest::newRow("to the given file") << "1234"
                                       << "sub/out.xml" << true << "sub/out.xml"
                                       << "";
    QTest::newRow("errors not saved") << "1234"
                                      << "sub/out.xml" << false << ""
                                      << "";
    QTest::newRow("no bank entity") << ""
                                    << "out.xml" << true << ""
                                    << "¡¡¡ Debe cumplimentar los datos bancarios !!!";
}

void tst_InvoiceSession::generateTo() {
    QFETCH(QString, entity);
    QFETCH(QString, target);
    QFETCH(bool, saveErrors);
    QFETCH(QString, written);
    QFETCH(QString, error);
    write(QStringLiteral("F1.ini"), ImportText.arg(entity));
    QVERIFY(QDir(home()).mkpath(QStringLiteral("sub")));
    InvoiceSession session(home());
    session.start();
    session.importChosenFile(inHome(QStringLiteral("F1.ini")));
    CheckFindings reviewed;
    try {
        const InvoiceSession::Generated generated = session.generateTo(
            target.isEmpty() ? QString() : inHome(target), [&](const CheckFindings& findings) {
                reviewed = findings;
                return saveErrors;
            });
        QVERIFY2(error.isEmpty(), "no error was thrown");
        QVERIFY(hasErrors(generated.findings));
        const auto texts = [](const CheckFindings& findings) {
            QStringList t;
            for (const CheckFinding& f : findings)
                t << f.code + u' ' + f.path + u' ' + f.message;
            return t;
        };
        QCOMPARE(texts(reviewed), texts(generated.findings));
        QCOMPARE(texts(generated.findings), texts(session.checkInvoice()));
        QCOMPARE(generated.status, written.isEmpty() ? InvoiceSession::GenerateStatus::Cancelled
                                                     : InvoiceSession::GenerateStatus::Written);
        QCOMPARE(QFile::exists(generated.path), !written.isEmpty());
        if (!written.isEmpty())
            QCOMPARE(generated.path, inHome(written));
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
    QCOMPARE(session.files().signedOutput, native.chopped(3) + QStringLiteral("XSIG"));
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
    QCOMPARE(session.files().signedOutput, QString());
    QVERIFY(!refusal(inHome(QStringLiteral("no-existe.xml"))).isEmpty());
    QCOMPARE(session.files().signedOutput, QString());
}

// "Nueva factura" is the program's start again: nothing of the invoice left
// behind stays but its series, and the issuer is read from Registro.Ini as it
// is now, not as it was at the first start.
void tst_InvoiceSession::startNewIsTheProgramsStart() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(home()));
    write(QStringLiteral("datos/F1.ini"), ImportText.arg(QStringLiteral("1234")));
    InvoiceSession session(home());
    session.start(QDate(2024, 1, 2));
    session.importChosenFile(inHome(QStringLiteral("datos/F1.ini")));
    InvoiceRecord& left = session.record();
    left.setText(RecordField::WithholdingRate, QStringLiteral("15"));
    left.setText(RecordField::CustomerAddress, QStringLiteral("Rúa Nova 1"));
    InvoiceBuilder::addLine(left, {QStringLiteral("Formación"), 2, 45, 0, 0, true,
                                   QStringLiteral("EXP-1"), QDate(2024, 1, 1)});
    left.lines().append(); // a line being typed
    QVERIFY(left.lines().isEditing());
    QVERIFY(session.loadSigningSettings());
    // "Mis datos" saved in the meantime.
    write(QStringLiteral("Registro.Ini"),
          QString(RegistroText.arg(home()))
              .replace(QStringLiteral("NOMBRE=María"), QStringLiteral("NOMBRE=Marta")));

    session.startNew(QDate(2024, 6, 30));

    // The invoice left behind was another issuer's: not its series but the
    // user's own, none yet.
    InvoiceSession fresh(home());
    fresh.start(QDate(2024, 6, 30));
    fresh.record().setText(RecordField::InvoiceNumber, QStringLiteral("1"));
    compareRecords(session.record(), fresh.record());
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(session.currentDocument(), fresh.currentDocument());

    const InvoiceRecord& r = session.record();
    QCOMPARE(r.text(RecordField::IssuerFirstName), QStringLiteral("Marta"));
    QCOMPARE(r.text(RecordField::CustomerCorporateName), QString());
    QCOMPARE(r.lines().count(), 0);
    QVERIFY(r.lines().isOpen());
    QVERIFY(!r.isAdministration());
    QCOMPARE(r.text(RecordField::WithholdingRate), QStringLiteral("0"));
    QCOMPARE(r.dueDate(), QDate(2024, 6, 30));
    // Nothing ties the new invoice to the old file: "Generar Factura" asks where.
    QCOMPARE(session.saveTargetBesideImport(), QString());
}

void tst_InvoiceSession::startNewProposesTheNextNumber_data() {
    QTest::addColumn<QString>("numeracion"); // the NUMERACION section of Registro.Ini
    QTest::addColumn<QString>("series");     // of the invoice left behind
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("proposed");

    QTest::newRow("the last number used, plus one") << "A=41"
                                                    << "A"
                                                    << "3"
                                                    << "42";
    QTest::newRow("leading zeros kept") << "A=0099"
                                        << "A"
                                        << "0099"
                                        << "0100";
    QTest::newRow("prefix and year kept") << "A=F-2024/009"
                                          << "A"
                                          << ""
                                          << "F-2024/010";
    QTest::newRow("nothing remembered: the number left behind, plus one") << ""
                                                                          << "A"
                                                                          << "0012"
                                                                          << "0013";
    QTest::newRow("nothing remembered, no number") << ""
                                                   << ""
                                                   << ""
                                                   << "1";
    QTest::newRow("a series never used ignores the others") << "B=7\nC=90"
                                                            << "A"
                                                            << ""
                                                            << "1";
    QTest::newRow("the empty series has its own count") << "%=5\nA=90"
                                                        << ""
                                                        << "2"
                                                        << "6";
    QTest::newRow("series with blanks and accents") << "Serie%20%C3%91=9"
                                                    << "Serie Ñ"
                                                    << ""
                                                    << "10";
    // A number ending in a letter is not counted up: the number left
    // behind is tried next, and then the count starts again.
    QTest::newRow("last number ends in a letter") << "A=15B"
                                                  << "A"
                                                  << "20"
                                                  << "21";
    QTest::newRow("both end in a letter") << "A=15B"
                                          << "A"
                                          << "15B"
                                          << "1";
}

void tst_InvoiceSession::startNewProposesTheNextNumber() {
    QFETCH(QString, numeracion);
    QFETCH(QString, series);
    QFETCH(QString, number);
    write(QStringLiteral("Registro.Ini"),
          RegistroText.arg(QString()) + QStringLiteral("[NUMERACION]\n") + numeracion + u'\n');
    InvoiceSession session(home());
    session.start();
    session.record().setText(RecordField::InvoiceSeries, series);
    session.record().setText(RecordField::InvoiceNumber, number);
    session.startNew();
    QCOMPARE(session.record().text(RecordField::InvoiceSeries), series);
    QTEST(session.record().text(RecordField::InvoiceNumber), "proposed");
    // Only generating a document counts a number as used.
    QCOMPARE(readAll(inHome(QStringLiteral("Registro.Ini"))),
             (RegistroText.arg(QString()) + QStringLiteral("[NUMERACION]\n") + numeracion + u'\n')
                 .toUtf8());
}

// A new invoice, and the program's start, is the user's: in the series of the
// invoice left behind when that was the user's own, otherwise in the series
// the user's own documents were written in last, never in another issuer's.
void tst_InvoiceSession::startNewTakesTheUsersOwnSeries_data() {
    QTest::addColumn<bool>("myTaxId"); // "Mis datos" holds 12345678Z
    QTest::addColumn<QString>("numeracion");
    QTest::addColumn<QStringList>("leftBehind"); // series, number, issuer's tax id
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("number");
    const QString own = QStringLiteral("SERIE PROPIA=A\nA=7\nF2024=001\n");
    QTest::newRow("program start") << true << own << QStringList{"", "", "12345678Z"} << "A"
                                   << "8";
    QTest::newRow("program start, nothing written yet")
        << true << "" << QStringList{"", "", "12345678Z"} << ""
        << "1";
    QTest::newRow("the user's own invoice, tax id written otherwise")
        << true << own << QStringList{"B", "3", "12.345.678-z"} << "B"
        << "4";
    QTest::newRow("another issuer's imported invoice")
        << true << own << QStringList{"F2024", "001", "B15123456"} << "A"
        << "8";
    QTest::newRow("another issuer's, no own series yet")
        << true << "F2024=001" << QStringList{"F2024", "001", "B15123456"} << ""
        << "1";
    QTest::newRow("no tax id in Mis datos: the series left behind")
        << false << own << QStringList{"C", "5", "B15123456"} << "C"
        << "6";
}

void tst_InvoiceSession::startNewTakesTheUsersOwnSeries() {
    QFETCH(bool, myTaxId);
    QFETCH(QString, numeracion);
    QFETCH(QStringList, leftBehind);
    QString registro = RegistroText.arg(QString());
    if (!myTaxId)
        registro.remove(QStringLiteral("NIF=12345678Z\n"));
    write(QStringLiteral("Registro.Ini"), registro + QStringLiteral("[NUMERACION]\n") + numeracion);
    InvoiceSession session(home());
    session.start();
    InvoiceRecord& left = session.record();
    left.setText(RecordField::InvoiceSeries, leftBehind[0]);
    left.setText(RecordField::InvoiceNumber, leftBehind[1]);
    left.setText(RecordField::IssuerTaxId, leftBehind[2]);
    session.startNew();
    QTEST(session.record().text(RecordField::InvoiceSeries), "series");
    QTEST(session.record().text(RecordField::InvoiceNumber), "number");
}

// The user's own series is the one their documents were written in last; a
// document of another issuer's leaves it alone, and it outlives the program.
void tst_InvoiceSession::writingTheUsersInvoiceMakesItsSeriesTheirs() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(QString()));
    write(QStringLiteral("A7.ini"), ImportText.arg(QStringLiteral("1234"))); // another issuer's
    InvoiceSession session(home());
    session.startNew();
    session.record().setText(RecordField::BankEntity, QStringLiteral("2100"));
    session.record().setText(RecordField::InvoiceSeries, QStringLiteral("B"));
    session.record().setText(RecordField::InvoiceNumber, QStringLiteral("12"));
    QCOMPARE(session.generate([&] { return inHome(QStringLiteral("B12.xml")); }).status,
             InvoiceSession::GenerateStatus::Written);
    session.importChosenFile(inHome(QStringLiteral("A7.ini")));
    QCOMPARE(session.generate({}).path, inHome(QStringLiteral("A7.XML")));
    session.startNew();
    QCOMPARE(session.record().text(RecordField::InvoiceSeries), QStringLiteral("B"));
    QCOMPARE(session.record().text(RecordField::InvoiceNumber), QStringLiteral("13"));

    InvoiceSession restarted(home());
    restarted.startNew();
    QCOMPARE(restarted.record().text(RecordField::InvoiceSeries), QStringLiteral("B"));
    QCOMPARE(restarted.record().text(RecordField::InvoiceNumber), QStringLiteral("13"));
}

// The numbers generated are what the next new invoice follows; writing an
// older invoice of the series again does not bring a used number back.
void tst_InvoiceSession::startNewFollowsTheNumbersGenerated() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(QString()));
    write(QStringLiteral("A7.ini"), ImportText.arg(QStringLiteral("1234"))); // A 7
    InvoiceSession session(home());
    session.start();
    session.record().setText(RecordField::InvoiceSeries, QStringLiteral("A"));
    session.record().setText(RecordField::InvoiceNumber, QStringLiteral("0041"));
    QCOMPARE(session.generate([&] { return inHome(QStringLiteral("A0041.xml")); }).status,
             InvoiceSession::GenerateStatus::Written);
    session.startNew();
    QCOMPARE(session.record().text(RecordField::InvoiceNumber), QStringLiteral("0042"));

    session.importChosenFile(inHome(QStringLiteral("A7.ini")));
    QCOMPARE(session.generate({}).path, inHome(QStringLiteral("A7.XML")));
    session.startNew();
    QCOMPARE(session.record().text(RecordField::InvoiceSeries), QStringLiteral("A"));
    QCOMPARE(session.record().text(RecordField::InvoiceNumber), QStringLiteral("0042"));
}

// A draft holds the whole invoice: read back through the import (as a file
// chosen by a person) it gives the same record, the same document and the
// same draft, byte for byte.
void tst_InvoiceSession::draftReadBackGivesTheSameInvoiceAndDocument() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(QString()));
    // No VENCIMIENTO: the due date stays empty.
    write(QStringLiteral("datos/F1.ini"), ImportText.arg(QStringLiteral("1234")));
    const QString draft = inHome(QStringLiteral("datos/F1.ini"));
    InvoiceSession session(home());
    session.start(QDate(2024, 3, 1));
    session.importChosenFile(draft);
    InvoiceRecord& r = session.record();
    QCOMPARE(r.dueDate(), ValueForms::zeroDate());
    r.setText(RecordField::WithholdingRate, QStringLiteral("15"));
    r.setText(RecordField::ProcessingUnitName, QStringLiteral("Obras \"e\" Vías"));
    r.setText(RecordField::CustomerAddress, QStringLiteral("Praza do Concello, 1"));
    InvoiceBuilder::addLine(r, {QStringLiteral("Formación exenta"), 2, 45, 0, 0, true,
                                QStringLiteral("EXP/2024/7"), QDate(2024, 1, 31)});
    InvoiceBuilder::addLine(
        r, {QStringLiteral("Material"), 3, 0.333, 10, 10, false, QStringLiteral("EXP/2024/8")});
    // The last line is still being typed: it belongs to the draft.
    r.lines().append();
    InvoiceLine typing = *r.lines().currentLine();
    typing.description = QStringLiteral("Desplazamiento");
    typing.quantity = D(1);
    typing.price = D("12.34567891");
    typing.vatRate = D(21);
    r.lines().setLine(typing);

    session.saveDraft(draft);
    const QByteArray saved = readAll(draft);
    for (const char* key :
         {"VENCIMIENTO=\n", "IRPF=15\n", "LINEAS=4\n", "EXPEDIENTE2=EXP/2024/7\n",
          "FECHAEXPEDIENTE2=31/01/2024\n", "EXENTO2=S\n", "EXPEDIENTE3=EXP/2024/8\n",
          "FECHAEXPEDIENTE3=\n", "EXENTO3=N\n", "NOMBRE4=Desplazamiento\n", "NOMBREGESTOR=Xestor\n",
          "NOMBREUNIDAD=Obras \"e\" Vías\n"})
        QVERIFY2(saved.contains(key), key);
    QCOMPARE(session.generate({}).path, inHome(QStringLiteral("datos/F1.XML")));
    const QByteArray document = readAll(inHome(QStringLiteral("datos/F1.XML")));
    QVERIFY(QFile::remove(inHome(QStringLiteral("datos/F1.XML"))));

    InvoiceSession reread(home());
    reread.start(QDate(2025, 12, 31));
    reread.importChosenFile(draft);
    compareRecords(reread.record(), session.record());
    if (QTest::currentTestFailed())
        return;
    const QList<InvoiceLine>& lines = reread.record().lines().lines();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[1].fileDate, QDate(2024, 1, 31));
    QVERIFY(lines[1].isExempt());
    QVERIFY(!lines[2].fileDate.isValid());
    QCOMPARE(lines[3].price, D("12.34567891"));
    QCOMPARE(reread.generate({}).path, inHome(QStringLiteral("datos/F1.XML")));
    QCOMPARE(readAll(inHome(QStringLiteral("datos/F1.XML"))), document);
    reread.saveDraft(inHome(QStringLiteral("otra vez.ini")));
    QCOMPARE(readAll(inHome(QStringLiteral("otra vez.ini"))), saved);
}

void tst_InvoiceSession::failedDraftSaveKeepsTheOldDraft_data() {
    QTest::addColumn<QString>("target"); // relative to home
    QTest::addColumn<QString>("kept");   // a file there before, relative to home
    QTest::addColumn<bool>("readOnly");  // the folder of kept loses its write permission

    const QString atTheNameLimit =
        QStringLiteral("largo/") + QString(250, u'b') + QStringLiteral(".ini");
    QTest::newRow("folder without write permission") << "ro/F1.ini"
                                                     << "ro/F1.ini" << true;
    QTest::newRow("no room for the temporary file's name")
        << atTheNameLimit << atTheNameLimit << false;
    QTest::newRow("the name is a folder") << "carpeta/F1.ini"
                                          << "carpeta/F1.ini/dentro.txt" << false;
    QTest::newRow("the folder is a file") << "fichero/F1.ini"
                                          << "fichero" << false;
}

// A save that fails says so and leaves whatever was there as it was: no
// half-written draft, no stray temporary file.
void tst_InvoiceSession::failedDraftSaveKeepsTheOldDraft() {
    QFETCH(QString, target);
    QFETCH(QString, kept);
    QFETCH(bool, readOnly);
    const QByteArray older = "[DATOS_GENERALES]\nSERIE=A\nFACTURA=6\n";
    write(kept, QString::fromLatin1(older));
    const QString folder = QFileInfo(inHome(kept)).absolutePath();
    const QFile::Permissions permissions = QFile::permissions(folder);
    if (readOnly) {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(folder + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(folder, permissions);
            QSKIP("this user writes into read-only folders");
        }
    }
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    InvoiceSession session(home());
    session.start(QDate(2024, 3, 1));
    InvoiceBuilder::addLine(session.record(), {QStringLiteral("Revisión"), 1, 100});
    const QString refusal = refusalOf([&] { session.saveDraft(inHome(target)); });
    QFile::setPermissions(folder, permissions);

    QVERIFY(!refusal.isEmpty());
    QCOMPARE(readAll(inHome(kept)), older);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(session.record().lines().count(), 1);
    // Nothing was kept: the invoice still has its changes and no draft file.
    QVERIFY(session.changes().isModified());
    QCOMPARE(session.files().draftPath, QString());
}

// Which files the invoice belongs to and whether it changed, through one
// invoice's life: read, typed in, kept as a draft, written, replaced.
void tst_InvoiceSession::filesFollowTheInvoice() {
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(QString()));
    write(QStringLiteral("datos/F1.ini"), ImportText.arg(QStringLiteral("1234")));
    InvoiceSession session(home());
    session.startNew(QDate(2024, 3, 1));
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.files().draftPath, QString());

    const QString imported = inHome(QStringLiteral("datos/F1.ini"));
    session.importChosenFile(imported);
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.files().importedFrom, imported);
    QCOMPARE(session.files().draftPath, imported);
    // Cancelling another import changes nothing, its lines included.
    QVERIFY(!session.importInvoice([] { return QString(); }));
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.record().lines().count(), 1);

    session.record().setText(RecordField::CustomerAddress, QStringLiteral("Rúa Nova, 2"));
    QVERIFY(session.changes().isModified());
    const QString draft = inHome(QStringLiteral("borradores/F1.ini"));
    QDir().mkpath(inHome(QStringLiteral("borradores")));
    session.saveDraft(draft);
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.files().draftPath, draft);
    QCOMPARE(session.files().importedFrom, imported);

    session.record().setText(RecordField::CustomerAddress, QStringLiteral("Rúa Vella, 3"));
    const InvoiceSession::Generated generated = session.generate({});
    QCOMPARE(int(generated.status), int(InvoiceSession::GenerateStatus::Written));
    QCOMPARE(session.files().lastDocument, inHome(QStringLiteral("datos/F1.XML")));
    QVERIFY(!session.changes().isModified());

    // A fresh invoice asks where its draft goes; the document stays the one
    // to sign next.
    session.record().setText(RecordField::CustomerAddress, QString());
    session.startNew(QDate(2024, 3, 2));
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.files().draftPath, QString());
    QCOMPARE(session.files().lastDocument, inHome(QStringLiteral("datos/F1.XML")));

    session.openAsNew(QString::fromUtf8(readAll(draft)), QDate(2024, 3, 2));
    QVERIFY(!session.changes().isModified());
    QCOMPARE(session.files().importedFrom, QString());
    QCOMPARE(session.files().draftPath, QString());
}

void tst_InvoiceSession::prepareSigningBuildsTheJob_data() {
    QTest::addColumn<QString>("document"); // relative to home
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("output");        // relative to home
    QTest::addColumn<QStringList>("arguments"); // IN and OUT stand for the two files

    QTest::newRow("certificate chosen in AutoFirma, Facturae")
        << "Mis Facturas/F 1.xml"
        << "Sign -certgui"
        << "-format FACTURAE"
        << "Mis Facturas/F 1.XSIG"
        << QStringList{"Sign", "-certgui", "-i", "IN", "-o", "OUT", "-format", "FACTURAE"};
    QTest::newRow("AutoFirma's window, XAdES")
        << "F2.XML"
        << "Sign -gui"
        << "-format XADES"
        << "F2.XSIG" << QStringList{"Sign", "-gui", "-i", "IN", "-o", "OUT", "-format", "XADES"};
    QTest::newRow("no extension") << "F3"
                                  << "Sign -gui"
                                  << "-format AUTO"
                                  << "F3.XSIG" << QStringList{"Sign", "-gui", "-i",      "IN",
                                                              "-o",   "OUT",  "-format", "AUTO"};
    QTest::newRow("a point in the folder only")
        << "v1.2/F4"
        << "Sign -gui"
        << "-format AUTO"
        << "v1.2/F4.XSIG"
        << QStringList{"Sign", "-gui", "-i", "IN", "-o", "OUT", "-format", "AUTO"};
    QTest::newRow("several points")
        << "F.2024.03.xml"
        << "Sign -certgui"
        << "-format XADES"
        << "F.2024.03.XSIG"
        << QStringList{"Sign", "-certgui", "-i", "IN", "-o", "OUT", "-format", "XADES"};
}

// The job holds what AutoFirma is to be started with; building it starts
// nothing.
void tst_InvoiceSession::prepareSigningBuildsTheJob() {
    QFETCH(QString, document);
    QFETCH(QString, command);
    QFETCH(QString, format);
    QFETCH(QString, output);
    QFETCH(QStringList, arguments);
    write(QStringLiteral("af/firma.sh"),
          QStringLiteral("#!/bin/sh\ntouch \"%1\"\n").arg(inHome(QStringLiteral("started"))));
    QFile::setPermissions(inHome(QStringLiteral("af/firma.sh")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write(QStringLiteral("Registro.Ini"),
          QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=firma.sh\nCOMANDO=%2\nFIRMA=%3\n")
              .arg(inHome(QStringLiteral("af")), command, format));
    writeValidDocument(document);
    InvoiceSession session(home());
    session.start();
    QVERIFY(session.loadSigningSettings());

    const InvoiceSession::SigningJob job = session.prepareSigning(inHome(document));
    const QString in = QDir::toNativeSeparators(inHome(document));
    const QString out = QDir::toNativeSeparators(inHome(output));
    QCOMPARE(job.folder, inHome(QStringLiteral("af")));
    QCOMPARE(job.program, QStringLiteral("firma.sh"));
    QCOMPARE(job.output, out);
    arguments.replace(arguments.indexOf(QStringLiteral("IN")), in);
    arguments.replace(arguments.indexOf(QStringLiteral("OUT")), out);
    QCOMPARE(job.arguments, arguments);
    QCOMPARE(session.files().signedOutput, out);
    QTest::qWait(50);
    QVERIFY(!QFile::exists(inHome(QStringLiteral("started"))));
    QVERIFY(!QFile::exists(inHome(output)));
}

void tst_InvoiceSession::prepareSigningRefuses_data() {
    QTest::addColumn<QString>("settings"); // the AUTOFIRMA section; %1 is the folder
    QTest::addColumn<QString>("document"); // relative to home
    QTest::addColumn<QString>("kind");     // valid, errors, missing, or a link to F.xml
    QTest::addColumn<QString>("refusal");

    const QString complete = QStringLiteral(
        "RUTAPROGRAMA=%1\nPROGRAMA=firma.sh\nCOMANDO=Sign -certgui\nFIRMA=-format FACTURAE\n");
    QTest::newRow("no signing settings at all") << ""
                                                << "F.xml"
                                                << "valid"
                                                << "falta el comando (COMANDO)";
    QTest::newRow("only the folder") << "RUTAPROGRAMA=%1\n"
                                     << "F.xml"
                                     << "valid"
                                     << "falta el comando (COMANDO)";
    QTest::newRow("no folder") << "PROGRAMA=firma.sh\nCOMANDO=Sign -certgui\nFIRMA=-format XADES\n"
                               << "F.xml"
                               << "valid"
                               << "falta la carpeta de instalación (RUTAPROGRAMA)";
    QTest::newRow("folder of blanks")
        << "RUTAPROGRAMA=\"   \"\nPROGRAMA=firma.sh\nCOMANDO=Sign -gui\nFIRMA=-format XADES\n"
        << "F.xml"
        << "valid"
        << "falta la carpeta de instalación (RUTAPROGRAMA)";
    QTest::newRow("signed copy would be the document") << complete << "F.XSIG"
                                                       << "valid"
                                                       << "con el mismo nombre que";
    QTest::newRow("signed copy's name is a link to the document") << complete << "F.xml"
                                                                  << "link"
                                                                  << "con el mismo nombre que";
    QTest::newRow("document with check errors") << complete << "F.xml"
                                                << "errors"
                                                << "tiene errores y no se firma";
    QTest::newRow("document missing") << complete << "F.xml"
                                      << "missing"
                                      << "No se puede leer";
}

// Each refusal comes before anything is composed: no parameters shown, no
// signed copy, nothing started.
void tst_InvoiceSession::prepareSigningRefuses() {
    QFETCH(QString, settings);
    QFETCH(QString, document);
    QFETCH(QString, kind);
    QFETCH(QString, refusal);
    write(QStringLiteral("af/firma.sh"), QStringLiteral("#!/bin/sh\n"));
    write(QStringLiteral("Registro.Ini"),
          QStringLiteral("[AUTOFIRMA]\n") +
              QString(settings).replace(QStringLiteral("%1"), inHome(QStringLiteral("af"))));
    if (kind == u"errors")
        writeDocumentWithErrors(document);
    else if (kind != u"missing")
        writeValidDocument(document);
    if (kind == u"link")
        QVERIFY(QFile::link(inHome(document), inHome(QStringLiteral("F.XSIG"))));
    const QByteArray documentBefore = readAll(inHome(document));

    InvoiceSession session(home());
    session.start();
    session.loadSigningSettings();
    const QString refused = refusalOf([&] { session.prepareSigning(inHome(document)); });
    QVERIFY2(refused.contains(refusal), qPrintable(refused));
    QCOMPARE(session.files().signedOutput, QString());
    QCOMPARE(readAll(inHome(document)), documentBefore);
}

// A document with errors is never signed, whichever the route: the
// certificate file refuses it as AutoFirma's route does, and signs a good one.
void tst_InvoiceSession::certificateSigningRefusesADocumentWithErrors() {
    if (!TestPki::available())
        QSKIP("the openssl command is needed to make test certificates");
    TestPki pki;
    QVERIFY2(pki.create(), qPrintable(pki.problem));
    QByteArray password(TestPki::Password);
    const SigningCertificate certificate = InvoiceSession::openCertificate(pki.signer, password);

    writeValidDocument(QStringLiteral("bien.xml"));
    writeDocumentWithErrors(QStringLiteral("mal.xml"));
    write(QStringLiteral("Registro.Ini"), RegistroText.arg(home()));
    InvoiceSession session(home());
    session.start();
    QVERIFY(session.loadSigningSettings());

    const QString viaCertificate = refusalOf(
        [&] { session.signWithCertificate(inHome(QStringLiteral("mal.xml")), certificate); });
    QVERIFY2(viaCertificate.contains(QStringLiteral("tiene errores")), qPrintable(viaCertificate));
    QCOMPARE(viaCertificate,
             refusalOf([&] { session.prepareSigning(inHome(QStringLiteral("mal.xml"))); }));
    QVERIFY(!QFile::exists(inHome(QStringLiteral("mal.XSIG"))));
    QVERIFY(!refusalOf([&] {
                 session.signWithCertificate(inHome(QStringLiteral("no-existe.xml")), certificate);
             }).isEmpty());

    const DocumentSigning::SignResult signed_ =
        session.signWithCertificate(inHome(QStringLiteral("bien.xml")), certificate);
    QCOMPARE(QFileInfo(signed_.output).fileName(), QStringLiteral("bien.XSIG"));
    QVERIFY(QFile::exists(inHome(QStringLiteral("bien.XSIG"))));
}

QTEST_GUILESS_MAIN(tst_InvoiceSession)
#include "tst_InvoiceSession.moc"
