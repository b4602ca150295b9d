#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/uPrincipal.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace WindowTestKit;

namespace {

const QString Registro =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                   "PERSONA=J\nNOMBRE=Mi Empresa S.L.\nNIF=B15123458\n"
                   "[AUTOFIRMA]\nRUTAPROGRAMA=/opt/autofirma\n");

const QString Concellos = QStringLiteral("[REGISTRO]\nCUANTOS=0\n");

const QString ImportText =
    QStringLiteral("[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\nLINEAS=1\n"
                   "[VENDEDOR]\nENTIDAD=2100\n[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=100\n"
                   "CANTIDAD1=1\nIVA1=21\n");

} // namespace

// The program's own files: a save never replaces its settings or the import
// file shown, and a settings file it could not read whole is never written.
class tst_MainWindowSettingsFiles : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    // The draft's and the document's save dialogs refuse these files, say
    // why and ask again; the file keeps what it held.
    void savesNeverReplaceTheProgramsFiles_data() {
        QTest::addColumn<bool>("draft"); // else the document's dialog
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("reason");
        const QString registro = QStringLiteral("es Registro.Ini, la configuración del programa");
        const QString concellos = QStringLiteral("es Concellos.Ini, la configuración del programa");
        const QString shown = QStringLiteral("es el fichero de importación de esta factura");
        for (const bool draft : {true, false}) {
            const char* dialog = draft ? "draft" : "document";
            QTest::addRow("%s: Registro.Ini", dialog) << draft << "Registro.Ini" << registro;
            QTest::addRow("%s: Concellos.Ini", dialog) << draft << "Concellos.Ini" << concellos;
            QTest::addRow("%s: another letter case", dialog) << draft << "REGISTRO.INI" << registro;
            QTest::addRow("%s: a link to Registro.Ini", dialog)
                << draft << "datos/enlace.ini" << registro;
            QTest::addRow("%s: the import file shown", dialog)
                << draft << "Importa/Factura.Ini" << shown;
        }
    }

    void savesNeverReplaceTheProgramsFiles() {
        QFETCH(bool, draft);
        QFETCH(QString, chosen);
        QFETCH(QString, reason);
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        writeFile(path(), QStringLiteral("Concellos.Ini"), Concellos);
        writeFile(path(), QStringLiteral("Importa/Factura.Ini"), ImportText);
        QVERIFY(QDir(path()).mkpath(QStringLiteral("datos")));
        QVERIFY(QFile::link(file(QStringLiteral("Registro.Ini")),
                            file(QStringLiteral("datos/enlace.ini"))));
        const QString target = file(chosen);
        const QByteArray before = readAll(target);
        open();
        // The fixed import file: nothing says where the draft or the document goes.
        m_window->AdvSmoothButton2Click();
        QVERIFY(m_prompts->errors().isEmpty());
        m_prompts->reset();

        const QString other = file(draft ? QStringLiteral("datos/B.ini") : QStringLiteral("B.xml"));
        m_prompts->fileAnswers << target << (draft ? other : QString());
        if (draft)
            m_window->saveDraft();
        else
            m_window->Button2Click();
        const QString what = draft ? QStringLiteral("el borrador") : QStringLiteral("la factura");
        const QString again = draft ? QStringLiteral(". Elija otro nombre para el borrador.")
                                    : QStringLiteral(". Elija otro nombre para la factura.");
        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "warn", "save"}));
        QCOMPARE(m_prompts->shown[1].text,
                 QStringLiteral("No se puede guardar %1 en %2: %3")
                         .arg(what, QDir::toNativeSeparators(target), reason) +
                     again);
        // Still itself: only what the program remembers there may follow.
        const QByteArray after = readAll(target);
        QVERIFY2(after.startsWith(before) && !after.contains("IRPF=") && !after.contains("<?xml"),
                 after.constData());
        if (draft) // the second choice is fine
            QVERIFY(readAll(other).contains("FACTURA=7"));
    }

    // Registro.Ini over 16 MB reads as empty and is never written: the
    // status bar says so at start, and the folder of a draft is remembered
    // for the run only.
    void unreadSettingsAreNeverWritten() {
        {
            QFile registro(file(QStringLiteral("Registro.Ini")));
            QVERIFY(registro.open(QIODevice::WriteOnly));
            registro.write(Registro.toUtf8());
            QVERIFY(registro.resize(17LL * 1024 * 1024)); // sparse
        }
        const QByteArray before = readAll(file(QStringLiteral("Registro.Ini")));
        open();
        const QString status = m_window->statusText();
        QVERIFY2(status.contains(QStringLiteral("Registro.Ini es demasiado grande")) &&
                     status.contains(QStringLiteral("no se modificará")),
                 qPrintable(status));
        QCOMPARE(edit(m_window.get(), "Edit1")->text(), QString());

        QVERIFY(QDir(path()).mkpath(QStringLiteral("borradores")));
        m_window->record().setText(RecordField::InvoiceSeries, QStringLiteral("B"));
        m_window->record().setText(RecordField::InvoiceNumber, QStringLiteral("3"));
        m_prompts->fileAnswers << file(QStringLiteral("borradores/B3.ini"));
        m_window->saveDraft();
        QVERIFY(m_prompts->errors().isEmpty());
        QVERIFY(QFile::exists(file(QStringLiteral("borradores/B3.ini"))));
        QCOMPARE(readAll(file(QStringLiteral("Registro.Ini"))), before);
        // The next dialog starts where the draft went.
        m_window->newInvoice();
        m_window->saveDraft();
        QCOMPARE(m_prompts->startPaths.last(),
                 QDir(QDir::toNativeSeparators(file(QStringLiteral("borradores"))))
                     .filePath(QStringLiteral("B-4.ini")));
        QCOMPARE(readAll(file(QStringLiteral("Registro.Ini"))), before);
    }
};

QTEST_MAIN(tst_MainWindowSettingsFiles)
#include "tst_MainWindowSettingsFiles.moc"
