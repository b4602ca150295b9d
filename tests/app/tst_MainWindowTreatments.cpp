#include "CliRunner.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/LineColumn.h"
#include "app/uPrincipal.h"

#include <QComboBox>
#include <QTableView>
#include <QTest>

using namespace WindowTestKit;

namespace {

// Mis datos: lines at 0 % are not subject (N1), with a reason of the issuer's.
const QString Registro =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                   "PERSONA=J\nNOMBRE=Mi Empresa S.L.\nNIF=B15123458\nCALIFICACIONIVA0=N1\n"
                   "MOTIVON1=Servicio prestado fuera del territorio\n");

// A whole invoice the check finds nothing in; %1 is the third line's
// CALIFICACION key, if any.
const QString InvoiceText = QStringLiteral(
    "[DATOS_GENERALES]\nSERIE=A\nFACTURA=8\nFECHA=15/03/2024\nVENCIMIENTO=15/04/2024\nLINEAS=3\n"
    "[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\nPERSONA=J\n"
    "NOMBRE=Mi Empresa S.L.\nDIRECCION=Rúa do Vilar, 12\nCP=15705\n"
    "POBLACION=Santiago de Compostela\nPROVINCIA=A Coruña\nNIF=B15123458\n"
    "[COMPRADOR]\nPERSONA=J\nNOMBRE=Construcciones Ames S.L.\nDIRECCION=Rúa Nova, 1\n"
    "CP=15001\nPOBLACION=A Coruña\nPROVINCIA=A Coruña\nNIF=B15123458\n"
    "[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=500\nCANTIDAD1=1\nIVA1=21\n"
    "NOMBRE2=Asesoría\nPRECIO2=80\nCANTIDAD2=1\nIVA2=0\n"
    "NOMBRE3=Obra\nPRECIO3=1200\nCANTIDAD3=1\nIVA3=0\n%1");

} // namespace

// Each line's VAT treatment: a line at 0 % takes the cause of Mis datos, the
// grid's column changes it from the keyboard, and the window's document is
// the tool's for the file that says the same treatment.
class tst_MainWindowTreatments : public MainWindowTestCase {
    Q_OBJECT

    QTableView* grid() const {
        return m_window->findChild<QTableView*>(QStringLiteral("SMDBGrid1"));
    }

private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void chosenInTheGridAsTheToolWrites() {
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        writeFile(path(), QStringLiteral("datos/F.ini"), InvoiceText.arg(QString()));
        writeFile(path(), QStringLiteral("datos/S2.ini"),
                  InvoiceText.arg(QStringLiteral("CALIFICACION3=S2\n")));
        open();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->openInvoiceFile();
        QVERIFY(m_prompts->errors().isEmpty());
        const QList<InvoiceLine>& lines = m_window->record().lines().lines();
        QCOMPARE(lines[1].treatment, VatTreatment::N1);
        QCOMPARE(lines[2].treatment, VatTreatment::N1);

        // The third line's treatment, from the keyboard: F2 opens the list,
        // the arrows choose, Enter stores the line.
        QTableView* view = grid();
        view->setFocus();
        view->setCurrentIndex(view->model()->index(2, int(LineColumn::Calificacion)));
        QCOMPARE(view->model()->index(2, int(LineColumn::Calificacion)).data().toString(),
                 QStringLiteral("N1"));
        QTest::keyClick(view, Qt::Key_F2);
        auto* list = view->findChild<QComboBox*>(QStringLiteral("CalificacionLinea"));
        QVERIFY(list);
        QTest::keyClick(list, Qt::Key_Home); // S1
        QTest::keyClick(list, Qt::Key_Down); // S2
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(m_window->record().lines().state(), Memoria::State::Browse);
        QCOMPARE(lines[2].treatment, VatTreatment::S2);
        QCOMPARE(lines[1].treatment, VatTreatment::N1);

        const QByteArray shown = m_window->session().currentDocument();
        QVERIFY(shown.contains("<SpecialTaxableEventCode>02</SpecialTaxableEventCode>\n"));
        QVERIFY(shown.contains("Servicio prestado fuera del territorio"));
        QVERIFY(shown.contains("<LegalReference>Inversión del sujeto pasivo</LegalReference>"));

        const CliRunner::Run run = CliRunner::cli(
            {QStringLiteral("generate"), QStringLiteral("--home"), path(), QStringLiteral("-o"),
             file(QStringLiteral("tool.xml")), file(QStringLiteral("datos/S2.ini"))});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(readAll(file(QStringLiteral("tool.xml"))), shown);

        // The draft (over the file it came from) says both treatments and
        // reads back to the same document.
        m_window->saveDraft();
        const QByteArray draft = readAll(file(QStringLiteral("datos/F.ini")));
        QVERIFY(draft.contains("CALIFICACION2=N1"));
        QVERIFY(draft.contains("CALIFICACION3=S2"));
        m_window->newInvoice();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->openInvoiceFile();
        QCOMPARE(m_window->session().currentDocument(), shown);
        QVERIFY(m_prompts->errors().isEmpty());
    }
};

QTEST_MAIN(tst_MainWindowTreatments)
#include "tst_MainWindowTreatments.moc"
