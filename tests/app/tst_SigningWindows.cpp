#include "../signing/TestPki.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/SignatureFlow.h"
#include "app/uAutoFirma.h"
#include "app/uPrincipal.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "signing/DocumentSigning.h"
#include "signing/InstalledPrograms.h"
#include "storage/InvoiceImport.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using namespace WindowTestKit;

namespace {

class NoPrograms final : public InstalledPrograms {
public:
    QStringList displayNames() const override { return {}; }
};

const QByteArray BareDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<fe:Facturae xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
    "xmlns:fe=\"http://www.facturae.es/Facturae/2014/v3.2.1/Facturae\">\n"
    "  <Parties><SellerParty><TaxIdentification>"
    "<TaxIdentificationNumber>B15123458</TaxIdentificationNumber>"
    "</TaxIdentification></SellerParty></Parties>\n"
    "  <Invoices><Invoice><InvoiceTotal>671.01</InvoiceTotal></Invoice></Invoices>\n"
    "</fe:Facturae>\n";

} // namespace

// Signing with a certificate file as a person does it: choosing the file in
// the "Firma" window, "Firmar Factura", the step after "Generar Factura", and
// "Comprobar firma"; every question answered by the scripted prompts.
class tst_SigningWindows : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!TestPki::available())
            QSKIP("The openssl command is needed to make the test certificates");
        QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    }
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void chooseCertificate_data();
    void chooseCertificate();
    void routeIsStoredWithoutPassword();
    void signFromTheButton_data();
    void signFromTheButton();
    void signedRightAfterGenerating();
    void checkSignature();
    void wrongPasswordAskedAgain_data();
    void wrongPasswordAskedAgain();
    void onlyTheChosenRouteShows();

private:
    // The document of a sample invoice, which passes its check; or, broken, a
    // bare document the check refuses.
    QString document(bool broken = false, const QString& name = QStringLiteral("F 001.xml")) const {
        const QString file = QDir(path()).filePath(name);
        if (broken) {
            writeFile(file, BareDocument);
            return file;
        }
        InvoiceRecord record;
        record.lines().open();
        InvoiceImport::importFile(record, QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"),
                                  true);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(file));
        FacturaeWriter::write(record, out);
        return file;
    }
    void useCertificate(const QString& p12) {
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[FIRMA]\nMETODO=CERTIFICADO\nCERTIFICADO=%1\n").arg(p12));
    }

    TestPki m_pki;
};

void tst_SigningWindows::chooseCertificate_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<std::optional<QByteArray>>("password"); // nullopt: cancelled
    QTest::addColumn<QStringList>("shownLines");             // empty: nothing chosen
    QTest::addColumn<QString>("error");

    const QByteArray right(TestPki::Password);
    QTest::newRow("a person's certificate")
        << m_pki.signer << std::optional(right)
        << QStringList{"Titular: ANA PRUEBA FICTICIA - 99999999R", "NIF: 99999999R", "Caduca el "}
        << "";
    QTest::newRow("a representative's certificate")
        << m_pki.representative << std::optional(right)
        << QStringList{"NIF: 88888888Y",
                       "NIF de la entidad: B15123458 Talleres Mecánicos Íñiguez S.L."}
        << "";
    QTest::newRow("expired") << m_pki.expired << std::optional(right)
                             << QStringList{"CADUCADO el 01/01/2021"} << "";
    QTest::newRow("wrong password")
        << m_pki.signer << std::optional(QByteArray("no")) << QStringList{}
        << "La contraseña del certificado no es correcta.";
    QTest::newRow("without its key")
        << m_pki.noKey << std::optional(right) << QStringList{} << "no contiene la clave privada";
    QTest::newRow("password cancelled")
        << m_pki.signer << std::optional<QByteArray>() << QStringList{} << "";
}

void tst_SigningWindows::chooseCertificate() {
    QFETCH(QString, file);
    QFETCH(std::optional<QByteArray>, password);
    QFETCH(QStringList, shownLines);
    QFETCH(QString, error);

    NoPrograms programs;
    TFormAutoFirma window(path(), nullptr, &programs);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Firma"));
    QVERIFY(child<QRadioButton>(window, "rbAutoFirma")->isChecked());
    m_prompts->fileAnswers << file;
    // The same answer each time it is asked.
    for (int i = 0; i < SignatureFlow::PasswordTries; ++i)
        m_prompts->passwordAnswers << password;
    child<QToolButton>(window, "btnCertificado")->click();

    QCOMPARE(m_prompts->kinds().mid(0, 2), (QStringList{"open", "password"}));
    QVERIFY(m_prompts->openFilters().first().startsWith("Certificados (*.p12 *.pfx"));
    const QString info = child<QLabel>(window, "lCertificado")->text();
    const QString chosen = child<QLineEdit>(window, "eCertificado")->text();
    if (shownLines.isEmpty()) {
        QVERIFY(chosen.isEmpty());
        QVERIFY(info.isEmpty());
        QVERIFY(child<QRadioButton>(window, "rbAutoFirma")->isChecked());
    } else {
        QCOMPARE(chosen, QDir::toNativeSeparators(file));
        QVERIFY(child<QRadioButton>(window, "rbCertificado")->isChecked());
        for (const QString& line : shownLines)
            QVERIFY2(info.contains(line), qPrintable(info));
    }
    if (error.isEmpty()) {
        QVERIFY(m_prompts->errors().isEmpty());
    } else {
        QCOMPARE(m_prompts->errors().size(), 1);
        QVERIFY2(m_prompts->errors().first().contains(error), qPrintable(m_prompts->errors()[0]));
    }
}

void tst_SigningWindows::routeIsStoredWithoutPassword() {
    const QString ini = QDir(path()).filePath(QStringLiteral("Registro.Ini"));
    NoPrograms programs;
    {
        TFormAutoFirma window(path(), nullptr, &programs);
        window.show();
        m_prompts->fileAnswers << m_pki.signer;
        m_prompts->passwordAnswers << QByteArray(TestPki::Password);
        child<QToolButton>(window, "btnCertificado")->click();
        child<QToolButton>(window, "AdvSmoothButton1")->click();
    }
    const QByteArray stored = readFile(ini);
    QVERIFY2(stored.contains("[FIRMA]\nMETODO=CERTIFICADO\nCERTIFICADO=" +
                             QDir::toNativeSeparators(m_pki.signer).toUtf8() + "\n"),
             stored.constData());
    QVERIFY(!stored.contains(QByteArray(TestPki::Password)));

    // Shown again as stored, without asking the password; AutoFirma chosen back.
    m_prompts->reset();
    {
        TFormAutoFirma window(path(), nullptr, &programs);
        window.show();
        QVERIFY(child<QRadioButton>(window, "rbCertificado")->isChecked());
        QCOMPARE(child<QLineEdit>(window, "eCertificado")->text(),
                 QDir::toNativeSeparators(m_pki.signer));
        QVERIFY(m_prompts->kinds().isEmpty());
        child<QRadioButton>(window, "rbAutoFirma")->setChecked(true);
        child<QToolButton>(window, "AdvSmoothButton1")->click();
    }
    QVERIFY(readFile(ini).contains("METODO=AUTOFIRMA\n"));
}

void tst_SigningWindows::signFromTheButton_data() {
    QTest::addColumn<QString>("certificate"); // empty: none chosen
    QTest::addColumn<std::optional<QByteArray>>("password");
    QTest::addColumn<bool>("goOn"); // the answer when asked to sign another's invoice
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QString>("message"); // part of the last text shown
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("broken");  // a document the check refuses
    QTest::addColumn<QString>("name"); // the document's file name

    const std::optional<QByteArray> right = QByteArray(TestPki::Password);
    QTest::newRow("the issuer's representative")
        << m_pki.representative << right << false << QStringList{"open", "password", "inform"}
        << "Factura firmada y comprobada." << true << false << "F 001.xml";
    QTest::newRow("someone else, confirmed")
        << m_pki.signer << right << true << QStringList{"open", "password", "confirm", "inform"}
        << "Se ha guardado en:" << true << false << "F 001.xml";
    QTest::newRow("someone else, not confirmed")
        << m_pki.signer << right << false << QStringList{"open", "password", "confirm"}
        << "no coincide con el del certificado (99999999R)" << false << false << "F 001.xml";
    QTest::newRow("wrong password, three times")
        << m_pki.representative << std::optional(QByteArray("x")) << false
        << QStringList{"open", "password", "password", "password", "error"}
        << "La contraseña del certificado no es correcta." << false << false << "F 001.xml";
    QTest::newRow("expired") << m_pki.expired << right << true
                             << QStringList{"open", "password", "error"}
                             << "El certificado caducó el 01/01/2021" << false << false
                             << "F 001.xml";
    QTest::newRow("password cancelled")
        << m_pki.representative << std::optional<QByteArray>() << false
        << QStringList{"open", "password"} << "" << false << false << "F 001.xml";
    QTest::newRow("no certificate chosen")
        << "" << right << false << QStringList{"open", "warn"}
        << "No se ha elegido el certificado para firmar" << false << false << "F 001.xml";
    // Checked before the password is asked, as before starting AutoFirma.
    QTest::newRow("a document with errors")
        << m_pki.representative << right << true << QStringList{"open", "warn"}
        << "La factura tiene errores y no se firmará" << false << true << "F 001.xml";
    // The signed copy would take the unsigned one's place.
    QTest::newRow("an unsigned document named .XSIG")
        << m_pki.representative << right << true << QStringList{"open", "password", "error"}
        << "se guardaría con el mismo nombre que" << false << false << "F 001.XSIG";
    QTest::newRow("a certificate not meant for signatures")
        << m_pki.encipherOnly << right << true << QStringList{"open", "password", "error"}
        << "no sirve para firmar" << false << false << "F 001.xml";
    QTest::newRow("a file with two private keys")
        << m_pki.twoKeys << right << true << QStringList{"open", "password", "error"}
        << "contiene varias claves privadas" << false << false << "F 001.xml";
}

void tst_SigningWindows::signFromTheButton() {
    QFETCH(QString, certificate);
    QFETCH(std::optional<QByteArray>, password);
    QFETCH(bool, goOn);
    QFETCH(QStringList, kinds);
    QFETCH(QString, message);
    QFETCH(bool, written);
    QFETCH(bool, broken);
    QFETCH(QString, name);

    useCertificate(certificate);
    open();
    const QString input = document(broken, name);
    const QByteArray unsigned_ = readFile(input);
    const QString output = QDir(path()).filePath(QStringLiteral("F 001.XSIG"));
    m_prompts->fileAnswers << input;
    // The same answer each time it is asked.
    for (int i = 0; i < SignatureFlow::PasswordTries; ++i)
        m_prompts->passwordAnswers << password;
    m_prompts->confirmAnswers << goOn;
    m_window->Button4Click();

    QCOMPARE(m_prompts->kinds(), kinds);
    if (!message.isEmpty())
        QVERIFY2(m_prompts->shown.last().text.contains(message),
                 qPrintable(m_prompts->shown.last().text));
    if (output != input)
        QCOMPARE(QFileInfo::exists(output), written);
    if (written) {
        QVERIFY(m_prompts->shown.last().text.contains(QDir::toNativeSeparators(output)));
        QVERIFY(DocumentSigning::verifyFile(output).valid());
        QCOMPARE(m_window->statusText(),
                 QStringLiteral("Factura firmada: %1").arg(QDir::toNativeSeparators(output)));
    }
    QCOMPARE(readFile(input), unsigned_);
}

void tst_SigningWindows::signedRightAfterGenerating() {
    useCertificate(m_pki.signer);
    // A complete invoice from the fixed import file: the check finds no error and the
    // document is saved through the dialog, so it is signed next.
    QDir(path()).mkpath(QStringLiteral("Importa"));
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"),
                        QDir(path()).filePath(QStringLiteral("Importa/Factura.Ini"))));
    open();
    QVERIFY(m_window->session().importInvoice({}));
    const QString saved = QDir(path()).filePath(QStringLiteral("F 002.XML"));
    m_prompts->fileAnswers << saved;
    m_prompts->passwordAnswers << QByteArray(TestPki::Password);
    m_prompts->confirmAnswers << true; // the issuer's tax id is not the certificate's
    m_window->Button2Click();
    QCOMPARE(m_prompts->kinds().first(), QStringLiteral("save"));
    QCOMPARE(m_prompts->kinds().last(), QStringLiteral("inform"));
    QVERIFY(m_prompts->kinds().contains(QStringLiteral("password")));
    const QString output = QDir(path()).filePath(QStringLiteral("F 002.XSIG"));
    QVERIFY(DocumentSigning::verifyFile(output).valid());
    QCOMPARE(QFileInfo(m_window->session().files().signedOutput), QFileInfo(output));
}

void tst_SigningWindows::checkSignature() {
    useCertificate(m_pki.representative);
    open();
    m_prompts->fileAnswers << document();
    m_prompts->passwordAnswers << QByteArray(TestPki::Password);
    m_window->Button4Click();
    const QString output = QDir(path()).filePath(QStringLiteral("F 001.XSIG"));
    QVERIFY(QFileInfo::exists(output));

    m_prompts->reset();
    m_prompts->fileAnswers << output;
    m_window->findChild<QAction*>("actionComprobarFirma")->trigger();
    QCOMPARE(m_prompts->kinds(), (QStringList{"open", "inform"}));
    QVERIFY(m_prompts->openFilters().first().contains("*.xsig"));
    QVERIFY(m_prompts->shown.last().text.contains("La firma es válida."));
    QVERIFY(m_prompts->shown.last().text.contains("88888888Y"));

    QByteArray changed = readFile(output);
    changed.replace("671.01", "671.10");
    writeFile(output, changed);
    m_prompts->reset();
    m_prompts->fileAnswers << output;
    m_window->ComprobarFirmaClick();
    QCOMPARE(m_prompts->kinds(), (QStringList{"open", "warn"}));
    QVERIFY(m_prompts->shown.last().text.contains("La firma NO es válida."));
    QVERIFY(m_prompts->shown.last().text.contains("El contenido del documento ha cambiado"));

    m_prompts->reset();
    m_window->ComprobarFirmaClick(); // cancelled: nothing shown
    QCOMPARE(m_prompts->kinds(), QStringList{"open"});
}

// A mistyped password is asked again within the same signing, three times
// in all; the status bar says how it ended.
void tst_SigningWindows::wrongPasswordAskedAgain_data() {
    QTest::addColumn<QList<std::optional<QByteArray>>>("typed");
    QTest::addColumn<bool>("signed_");
    QTest::addColumn<QString>("status"); // its beginning
    const std::optional<QByteArray> right = QByteArray(TestPki::Password);
    const std::optional<QByteArray> wrong = QByteArray("x");
    QTest::newRow("wrong, then right")
        << QList{wrong, right} << true << QStringLiteral("Factura firmada: ");
    QTest::newRow("wrong twice, then right")
        << QList{wrong, wrong, right} << true << QStringLiteral("Factura firmada: ");
    QTest::newRow("wrong, then cancelled")
        << QList{wrong, std::optional<QByteArray>()} << false
        << QStringLiteral("Firma cancelada: la factura no se ha firmado");
    QTest::newRow("wrong three times")
        << QList{wrong, wrong, wrong, right} << false
        << QStringLiteral("La factura no se ha firmado: La contraseña del certificado no es "
                          "correcta");
}

void tst_SigningWindows::wrongPasswordAskedAgain() {
    QFETCH(QList<std::optional<QByteArray>>, typed);
    QFETCH(bool, signed_);
    QFETCH(QString, status);
    useCertificate(m_pki.representative);
    open();
    m_prompts->fileAnswers << document();
    for (const std::optional<QByteArray>& password : typed)
        m_prompts->passwordAnswers << password;
    m_window->Button4Click();

    const QStringList asked = m_prompts->textsOf(QStringLiteral("password"));
    QCOMPARE(asked.size(), qMin(int(typed.size()), SignatureFlow::PasswordTries));
    for (int i = 1; i < asked.size(); ++i)
        QVERIFY2(asked[i].contains(QStringLiteral("no es correcta (intento %1 de 3)").arg(i + 1)),
                 qPrintable(asked[i]));
    QCOMPARE(QFileInfo::exists(QDir(path()).filePath(QStringLiteral("F 001.XSIG"))), signed_);
    QVERIFY2(m_window->statusText().startsWith(status), qPrintable(m_window->statusText()));
}

// The "Firma" window shows the boxes of the route chosen, and says when it
// has saved.
void tst_SigningWindows::onlyTheChosenRouteShows() {
    NoPrograms programs;
    TFormAutoFirma window(path(), nullptr, &programs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* autoFirma = child<QWidget>(window, "GrupoAutoFirma");
    auto* certificate = child<QWidget>(window, "GrupoCertificado");
    auto* notice = child<QWidget>(window, "RichEdit1");
    auto* saved = child<QLabel>(window, "lGuardado");
    QVERIFY(autoFirma->isVisible());
    QVERIFY(!certificate->isVisible());
    QVERIFY(notice->isVisible()); // no AutoFirma folder stored, none installed

    child<QRadioButton>(window, "rbCertificado")->setChecked(true);
    QVERIFY(!autoFirma->isVisible());
    QVERIFY(certificate->isVisible());
    QVERIFY(!notice->isVisible());
    QVERIFY(saved->text().isEmpty());

    child<QToolButton>(window, "AdvSmoothButton1")->click();
    QVERIFY(m_prompts->errors().isEmpty());
    QVERIFY2(saved->text().startsWith(QStringLiteral("Cambios guardados")),
             qPrintable(saved->text()));
    QVERIFY(readFile(QDir(path()).filePath(QStringLiteral("Registro.Ini")))
                .contains("METODO=CERTIFICADO"));
    // Changed again, no longer saved.
    child<QRadioButton>(window, "rbAutoFirma")->setChecked(true);
    QVERIFY(saved->text().isEmpty());
    QVERIFY(notice->isVisible());
}

QTEST_MAIN(tst_SigningWindows)
#include "tst_SigningWindows.moc"
