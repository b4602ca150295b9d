#include "../book/BookFixture.h"
#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/uPrincipal.h"
#include "book/InvoiceBook.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace WindowTestKit;

// Signing runs while the window goes on: AutoFirma is a stand-in that takes
// its time and writes the signed file (or not).
class MainWindowSigningTest : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void windowKeepsWorkingWhileAutoFirmaSigns() {
        setUpAutoFirma(QStringLiteral("sleep 2\nprintf firmado > \"$out\"\n"));
        const QString input = file(QStringLiteral("Mis Facturas/F 1.xml"));
        writeFile(path(), QStringLiteral("Mis Facturas/F 1.xml"), validDocument());
        m_window = openWindow(path());

        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(50);
        QElapsedTimer clock;
        clock.start();
        m_prompts->fileAnswers << input;
        m_window->Button4Click();
        // The handler came back at once: AutoFirma is still at work.
        QVERIFY(clock.elapsed() < 1500);
        QVERIFY(m_window->isSigning());
        QVERIFY(m_window->statusText().startsWith(QStringLiteral("Firmando…")));
        QVERIFY(!m_window->findChild<QProgressBar*>("BusyIndicator")->isHidden());
        for (const char* name : {"actionGenerarFactura", "actionFirmarFactura",
                                 "actionCapturarDatos", "actionGuardarBorrador", "actionSalir"})
            QVERIFY2(!m_window->findChild<QAction*>(name)->isEnabled(), name);
        QVERIFY(!m_window->findChild<QToolButton*>("AdvSmoothButton3")->isEnabled());

        // Leaving now is refused with a word why.
        QVERIFY(!m_window->close());
        QCOMPARE(m_prompts->kinds().last(), QStringLiteral("inform"));
        QVERIFY(m_window->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSigning(), 15000);
        QVERIFY(clock.elapsed() >= 1900);
        // The event loop ran all along: about one tick every 50 ms.
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
        const QString signedFile =
            QDir::toNativeSeparators(file(QStringLiteral("Mis Facturas/F 1.XSIG")));
        QCOMPARE(m_window->statusText(), QStringLiteral("Factura firmada: %1").arg(signedFile));
        QVERIFY(m_window->findChild<QProgressBar*>("BusyIndicator")->isHidden());
        for (QAction* action : m_window->actions())
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // AutoFirma's output of a document the book holds is kept with it.
    void signedCopyOfAnInvoiceInTheBookIsKept() {
        setUpAutoFirma(QStringLiteral("printf firmado > \"$out\"\n"));
        writeFile(path(), QStringLiteral("F.xml"), validDocument());
        InvoiceRow row = BookFixture::invoice(QStringLiteral("A"), QStringLiteral("1"));
        row.document = validDocument().toUtf8();
        {
            auto db = BookDatabase::open(path());
            InvoiceBook(*db).issue(row);
        }
        m_window = openWindow(path());
        m_prompts->fileAnswers << file(QStringLiteral("F.xml"));
        m_window->Button4Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSigning(), 15000);
        QVERIFY(m_prompts->kinds().filter(QStringLiteral("warn")).isEmpty());
        auto db = BookDatabase::openExisting(path());
        const InvoiceBook book(*db);
        const BookEntry entry = *book.find(BookFixture::Issuer, QStringLiteral("A-1"));
        QCOMPARE(book.signedDocument(entry.id), QByteArray("firmado"));
        QCOMPARE(entry.state, HistoryKind::Signed);
    }

    // AutoFirma cancelled by the person: no signed file, and no success said.
    void endingWithoutASignedFileIsNotASuccess() {
        setUpAutoFirma(QStringLiteral("exit 0\n"));
        writeFile(path(), QStringLiteral("F.xml"), validDocument());
        m_window = openWindow(path());
        m_prompts->fileAnswers << file(QStringLiteral("F.xml"));
        m_window->Button4Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSigning(), 15000);
        QVERIFY(m_window->statusText().contains(QStringLiteral("no se ha firmado")));
        QVERIFY(!m_window->statusText().startsWith(QStringLiteral("Factura firmada")));
    }

private:
    // A document that passes the check, so that signing goes ahead.
    QString validDocument() const {
        QFile fixture(QFINDTESTDATA("../facturae/data/other-program.xml"));
        return fixture.open(QIODevice::ReadOnly) ? QString::fromUtf8(fixture.readAll()) : QString();
    }

    // A stand-in AutoFirma: finds the output after -o and runs body with it.
    void setUpAutoFirma(const QString& body) {
        writeFile(path(), QStringLiteral("af/autofirma.sh"),
                  QStringLiteral("#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do\n"
                                 "  if [ \"$1\" = -o ]; then out=$2; fi; shift\ndone\n") +
                      body);
        QFile::setPermissions(file(QStringLiteral("af/autofirma.sh")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=autofirma.sh\n"
                                 "COMANDO=Sign -certgui\nFIRMA=-format FACTURAE\n")
                      .arg(file(QStringLiteral("af"))));
    }
};

QTEST_MAIN(MainWindowSigningTest)
#include "tst_MainWindowSigning.moc"
