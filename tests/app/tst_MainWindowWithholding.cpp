#include "CliRunner.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/uPrincipal.h"

#include <QComboBox>
#include <QTest>

using namespace WindowTestKit;

namespace {

const QString Registro =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                   "PERSONA=J\nNOMBRE=Mi Empresa S.L.\nNIF=B15123458\n%1");

// A whole invoice the check finds nothing in; %1 is its IRPF line, if any.
const QString InvoiceText = QStringLiteral(
    "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\nVENCIMIENTO=15/04/2024\nLINEAS=2\n%1"
    "[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\nPERSONA=J\n"
    "NOMBRE=Mi Empresa S.L.\nDIRECCION=Rúa do Vilar, 12\nCP=15705\n"
    "POBLACION=Santiago de Compostela\nPROVINCIA=A Coruña\nNIF=B15123458\n"
    "[COMPRADOR]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Pérez\nDIRECCION=Rúa Nova, 1\nCP=15001\n"
    "POBLACION=A Coruña\nPROVINCIA=A Coruña\nNIF=12345678Z\n"
    "[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=500\nCANTIDAD1=1\nIVA1=21\n"
    "NOMBRE2=Tasa\nPRECIO2=12,5\nCANTIDAD2=2\nIVA2=21\n");

} // namespace

// The withholding rate an invoice starts with: the file's IRPF, else the
// issuer's usual rate from Mis datos, never the rate of the invoice shown
// before; the window and orvane-cli give the same document.
class tst_MainWindowWithholding : public MainWindowTestCase {
    Q_OBJECT

    QString rateShown() const {
        return m_window->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->currentText();
    }

private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void sameDocumentInWindowAndTool_data() {
        QTest::addColumn<QString>("fileKey");     // the import file's IRPF line
        QTest::addColumn<QString>("usual");       // [MISDATOS] IRPF, if any
        QTest::addColumn<QString>("withholding"); // the tool's --withholding, typed in the window
        QTest::addColumn<QString>("rate");        // the rate of the document
        QTest::newRow("no key, no usual rate") << ""
                                               << ""
                                               << ""
                                               << "0";
        QTest::newRow("no key: the usual rate") << ""
                                                << "15"
                                                << ""
                                                << "15";
        QTest::newRow("empty key: the usual rate") << "IRPF=\n"
                                                   << "7"
                                                   << ""
                                                   << "7";
        QTest::newRow("the file's rate over the usual one") << "IRPF=19\n"
                                                            << "7"
                                                            << ""
                                                            << "19";
        QTest::newRow("the file's 0 over the usual one") << "IRPF=0\n"
                                                         << "15"
                                                         << ""
                                                         << "0";
        QTest::newRow("a rate given over the usual one") << ""
                                                         << "15"
                                                         << "7,5"
                                                         << "7,5";
        QTest::newRow("a rate given over the file's") << "IRPF=15\n"
                                                      << ""
                                                      << "0"
                                                      << "0";
    }

    void sameDocumentInWindowAndTool() {
        QFETCH(QString, fileKey);
        QFETCH(QString, usual);
        QFETCH(QString, withholding);
        QFETCH(QString, rate);
        writeFile(
            path(), QStringLiteral("Registro.Ini"),
            Registro.arg(usual.isEmpty() ? QString() : QStringLiteral("IRPF=%1\n").arg(usual)));
        writeFile(path(), QStringLiteral("datos/previa.ini"),
                  InvoiceText.arg(QStringLiteral("IRPF=18\n")));
        writeFile(path(), QStringLiteral("datos/F.ini"), InvoiceText.arg(fileKey));
        const QString usualOrZero = usual.isEmpty() ? QStringLiteral("0") : usual;

        open();
        QCOMPARE(rateShown(), usualOrZero); // the window at start
        // An invoice at 18 % shown before: its rate must not carry over.
        m_prompts->fileAnswers << file(QStringLiteral("datos/previa.ini"));
        m_window->openInvoiceFile();
        QCOMPARE(rateShown(), QStringLiteral("18"));
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->openInvoiceFile();
        QVERIFY(m_prompts->errors().isEmpty());
        if (!withholding.isEmpty()) {
            auto* list = m_window->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
            list->setEditText(withholding);
            m_window->ComboBox1CloseUp();
        }
        QCOMPARE(rateShown(), rate);
        const QByteArray shownDocument = m_window->session().currentDocument();
        const qsizetype withheld = shownDocument.indexOf("<TaxesWithheld>");
        if (rate == u"0")
            QCOMPARE(withheld, -1);
        else
            QCOMPARE(
                shownDocument.indexOf("<TaxRate>" + rate.toLatin1().replace(',', '.'), withheld),
                shownDocument.indexOf("<TaxRate>", withheld));

        QStringList arguments{QStringLiteral("generate"), QStringLiteral("--home"), path()};
        if (!withholding.isEmpty())
            arguments << QStringLiteral("--withholding") << withholding;
        arguments << QStringLiteral("-o") << file(QStringLiteral("tool.xml"))
                  << file(QStringLiteral("datos/F.ini"));
        const CliRunner::Run run = CliRunner::cli(arguments);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(readAll(file(QStringLiteral("tool.xml"))), shownDocument);

        // A new invoice starts with the usual rate too (nothing was typed, so
        // nothing is asked).
        if (withholding.isEmpty()) {
            m_window->newInvoice();
            QCOMPARE(rateShown(), usualOrZero);
        }
    }

    // A usual rate that is none is said at start, and the invoice starts
    // without withholding; a file with its own IRPF still imports.
    void storedUsualRateThatIsNone() {
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  Registro.arg(QStringLiteral("IRPF=15.5\n")));
        writeFile(path(), QStringLiteral("datos/F.ini"), InvoiceText.arg(QStringLiteral("IRPF=7\n")));
        writeFile(path(), QStringLiteral("datos/G.ini"), InvoiceText.arg(QString()));
        open();
        QCOMPARE(m_prompts->errors().size(), 1);
        QVERIFY2(m_prompts->errors()[0].contains(QStringLiteral("(IRPF=15.5)")),
                 qPrintable(m_prompts->errors()[0]));
        QVERIFY(m_prompts->errors()[0].contains(QStringLiteral("Mis datos")));
        QCOMPARE(rateShown(), QStringLiteral("0"));
        QCOMPARE(edit(m_window.get(), "Edit25")->text(), QStringLiteral("1")); // the rest ran
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->openInvoiceFile();
        QCOMPARE(m_prompts->errors().size(), 1);
        QCOMPARE(rateShown(), QStringLiteral("7"));
        // Without IRPF the import stops: guessing a rate would change the total.
        m_prompts->fileAnswers << file(QStringLiteral("datos/G.ini"));
        m_window->openInvoiceFile();
        QCOMPARE(m_prompts->errors().size(), 2);
        QCOMPARE(rateShown(), QStringLiteral("7"));
    }
};

QTEST_MAIN(tst_MainWindowWithholding)
#include "tst_MainWindowWithholding.moc"
