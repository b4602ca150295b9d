#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "InvoiceBuilder.h"
#include "app/BookTableModel.h"
#include "app/BookWindow.h"
#include "app/CorrectiveDialog.h"
#include "book/BookCorrections.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace WindowTestKit;

namespace {

const QString Issuer = QStringLiteral("B15123458");

// The sample invoice (a town council, with its three centres) as number 15.
QString importText(const QString& firstPrice = QStringLiteral("185,50")) {
    QString text = QString::fromUtf8(readFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini")));
    return text.replace(QStringLiteral("FACTURA=2024-001"), QStringLiteral("FACTURA=15"))
        .replace(QStringLiteral("PRECIO1=185,50"), QStringLiteral("PRECIO1=") + firstPrice);
}

} // namespace

// The main window and the invoice book: Ctrl+G issues into it, a number in
// it is replaced only when the person says so, its customers are offered
// while typing, and an invoice of it opens as a new one.
class MainWindowBookTest : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() {
        startMainWindowTest();
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[MISDATOS]\nNIF=%1\n").arg(Issuer));
    }
    void cleanup() { endMainWindowTest(); }

    void ctrlGIssuesIntoTheBook() {
        writeFile(path(), QStringLiteral("datos/F.ini"), importText());
        open();
        importFrom(QStringLiteral("datos/F.ini"));
        QTest::keyClick(m_window.get(), Qt::Key_G, Qt::ControlModifier);
        const QByteArray written = readAll(file(QStringLiteral("datos/F.XML")));
        QCOMPARE(m_prompts->kinds(), QStringList{"open"});
        QCOMPARE(versions().size(), 1);
        QCOMPARE(document(versions().first()), written);

        // Twice is not a replacement: the file question only, no new version.
        m_prompts->confirmAnswers << true;
        QTest::keyClick(m_window.get(), Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "confirm"}));
        QCOMPARE(versions().size(), 1);
        QCOMPARE(readAll(file(QStringLiteral("datos/F.XML"))), written);
        QVERIFY(m_prompts->errors().isEmpty());
    }

    void numberInTheBookIsReplacedOnlyWhenAnswered() {
        writeFile(path(), QStringLiteral("datos/F.ini"), importText());
        open();
        importFrom(QStringLiteral("datos/F.ini"));
        m_window->Button2Click();
        const QByteArray first = readAll(file(QStringLiteral("datos/F.XML")));

        writeFile(path(), QStringLiteral("datos/F.ini"), importText(QStringLiteral("200")));
        importFrom(QStringLiteral("datos/F.ini"));
        m_prompts->reset();
        m_prompts->confirmAnswers << true << false; // the file yes, the book no
        m_window->Button2Click();
        const QString question =
            QStringLiteral("La factura A-15 ya está en el libro (emitida el 15/03/2024, 671,01 "
                           "€). ¿Sustituirla? La anterior queda en el historial.");
        QCOMPARE(m_prompts->textsOf(QStringLiteral("confirm")).last(), question);
        QCOMPARE(readAll(file(QStringLiteral("datos/F.XML"))), first);
        QCOMPARE(versions().size(), 1);

        m_prompts->confirmAnswers << true << true;
        m_window->Button2Click();
        const QList<BookEntry> kept = versions();
        QCOMPARE(kept.size(), 2);
        QCOMPARE(kept[0].state, HistoryKind::Replaced);
        QCOMPARE(document(kept[1]), readAll(file(QStringLiteral("datos/F.XML"))));
    }

    // Typing the start of a tax id offers the customer; arrows and Enter
    // fill the whole block, the administration's centres included.
    void rememberedCustomerFillsTheBlock() {
        writeFile(path(), QStringLiteral("datos/F.ini"), importText());
        open();
        importFrom(QStringLiteral("datos/F.ini"));
        m_window->Button2Click();
        m_window->newInvoice();
        QCOMPARE(m_window->record().text(RecordField::CustomerTaxId), QString());
        QVERIFY(!m_window->record().isAdministration());

        QLineEdit* taxId = edit(m_window.get(), "Edit11");
        taxId->setFocus();
        QTest::keyClicks(taxId, QStringLiteral("p150"));
        QCompleter* completer = taxId->completer();
        QVERIFY(completer);
        QTRY_VERIFY(completer->popup()->isVisible());
        QCOMPARE(completer->completionModel()->rowCount(), 1);
        QTest::keyClick(completer->popup(), Qt::Key_Down);
        QTest::keyClick(completer->popup(), Qt::Key_Return);

        const InvoiceRecord& r = m_window->record();
        QCOMPARE(r.text(RecordField::CustomerTaxId), QStringLiteral("P1500200I"));
        QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Concello de Ames"));
        QCOMPARE(r.text(RecordField::CustomerTown), QStringLiteral("Bertamiráns"));
        QCOMPARE(shown(m_window.get(), "Edit8"), QStringLiteral("Concello de Ames"));
        QVERIFY(r.isAdministration());
        QCOMPARE(r.text(RecordField::ProcessingUnitCode), QStringLiteral("L01150022"));
        QCOMPARE(r.text(RecordField::ProcessingUnitName), QStringLiteral("Servizo de Obras"));
        // Filled from the book, not asked again through the centres window.
        QVERIFY(m_prompts->errors().isEmpty());

        // A name nobody in the book has offers nothing.
        QLineEdit* name = edit(m_window.get(), "Edit8");
        name->clear();
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Zz"));
        QCOMPARE(name->completer()->completionModel()->rowCount(), 0);
    }

    void openAsNewTakesTheNextNumberAndToday() {
        writeFile(path(), QStringLiteral("datos/F.ini"), importText());
        open();
        importFrom(QStringLiteral("datos/F.ini"));
        m_window->Button2Click();
        const QString value = *InvoiceBook(*book()).value(versions().first().id);

        // Unsaved changes are asked about first; cancelled, nothing changes.
        m_window->record().setText(RecordField::CustomerContact, QStringLiteral("Ana"));
        m_prompts->reset();
        m_window->openAsNew(value);
        QCOMPARE(m_prompts->kinds(), QStringList{"unsaved"});
        QCOMPARE(m_window->record().text(RecordField::InvoiceNumber), QStringLiteral("15"));

        m_prompts->saveChoices << Prompts::SaveChoice::Discard;
        m_window->openAsNew(value);
        const InvoiceRecord& r = m_window->record();
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("A"));
        QCOMPARE(r.text(RecordField::InvoiceNumber), QStringLiteral("16"));
        QCOMPARE(m_window->findChild<QDateEdit*>("FechaFactura")->date(), QDate::currentDate());
        QCOMPARE(r.lines().count(), 4);
        QCOMPARE(r.text(RecordField::CustomerCorporateName), QStringLiteral("Concello de Ames"));
        QVERIFY(r.isAdministration());
        // Not tied to the file the first one came from.
        QCOMPARE(m_window->session().saveTargetBesideImport(), QString());
        QVERIFY(m_prompts->errors().isEmpty());
    }

    // Rectificar in the book asks why, how and which kind, and
    // prepares the corrective in the main window: in its own series with the
    // next number, the corrected invoice's lines for a substitution, none for
    // differences. Generar factura then issues it, linked to the corrected one.
    void rectifyFromTheBook_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("total");
        QTest::newRow("substitution") << "01" << 4 << "671.01";
        QTest::newRow("differences") << "02" << 0 << "-12.10";
    }
    void rectifyFromTheBook() {
        QFETCH(QString, method);
        QFETCH(int, lines);
        QFETCH(QString, total);
        writeFile(path(), QStringLiteral("datos/F.ini"), importText());
        open();
        importFrom(QStringLiteral("datos/F.ini"));
        m_window->Button2Click();

        QString offered;
        m_window->setModalRunner([&](QDialog& dialog) {
            auto* book = qobject_cast<BookWindow*>(&dialog);
            QVERIFY(book);
            QTRY_VERIFY_WITH_TIMEOUT(book->model().rowCount() == 1, 10000);
            book->setModalRunner([&](QDialog& inner) {
                auto* ask = qobject_cast<CorrectiveDialog*>(&inner);
                QVERIFY(ask);
                offered = ask->kindBox()->currentText();
                ask->reasonBox()->setCurrentIndex(ask->reasonBox()->findData(QStringLiteral("81")));
                ask->methodBox()->setCurrentIndex(ask->methodBox()->findData(method));
                ask->kindBox()->setCurrentIndex(ask->kindBox()->findData(QStringLiteral("R2")));
                ask->AceptarClick();
            });
            WindowTestKit::child<QPushButton>(*book, "Rectificar")->click();
        });
        m_window->LibroFacturasClick();
        QCOMPARE(offered, QStringLiteral("R4 – Resto de causas"));

        InvoiceRecord& r = m_window->record();
        QVERIFY(r.correction());
        QCOMPARE(r.correction()->correctedSeriesNumber(), QStringLiteral("A-15"));
        QCOMPARE(r.correction()->reasonCode, QStringLiteral("81"));
        QCOMPARE(r.correction()->kind, QStringLiteral("R2"));
        QCOMPARE(r.correction()->periodStart, QDate(2024, 3, 1));
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("R"));
        QCOMPARE(r.text(RecordField::InvoiceNumber), QStringLiteral("1"));
        QCOMPARE(r.lines().count(), lines);
        if (lines == 0) // the differences: a price lowered
            InvoiceBuilder::addLine(r, {QStringLiteral("Rebaja de la revisión"), 1, -10});

        m_prompts->fileAnswers << file(QStringLiteral("R-1.XML"));
        m_window->Button2Click();
        QVERIFY2(m_prompts->errors().isEmpty(), qPrintable(m_prompts->errors().join(u'\n')));
        const QByteArray written = readAll(file(QStringLiteral("R-1.XML")));
        QVERIFY(written.contains("<InvoiceClass>OR</InvoiceClass>"));
        QVERIFY(written.contains("<InvoiceTotal>" + total.toLatin1() + "</InvoiceTotal>"));
        const auto db = book();
        const InvoiceBook kept(*db);
        const auto corrective = kept.find(Issuer, QStringLiteral("R-1"));
        QVERIFY(corrective);
        QCOMPARE(BookCorrections(*db).correctedBy(corrective->id), versions().first().id);
        QCOMPARE(kept.document(corrective->id), written);

        // The next new invoice is an ordinary one again, in the user's series.
        m_window->newInvoice();
        QVERIFY(!r.correction());
        QCOMPARE(r.text(RecordField::InvoiceSeries), QStringLiteral("A"));
        QCOMPARE(r.text(RecordField::InvoiceNumber), QStringLiteral("16"));
    }

private:
    void importFrom(const QString& relative) {
        m_prompts->fileAnswers << file(relative);
        m_window->AdvSmoothButton2Click();
    }
    std::unique_ptr<BookDatabase> book() const { return BookDatabase::openExisting(path()); }
    QList<BookEntry> versions() const {
        return InvoiceBook(*book()).versions(Issuer, QStringLiteral("A-15"));
    }
    QByteArray document(const BookEntry& entry) const {
        return InvoiceBook(*book()).document(entry.id);
    }
};

QTEST_MAIN(MainWindowBookTest)
#include "tst_MainWindowBook.moc"
