#include "../ledger/LedgerFixture.h"
#include "../signing/TestPki.h"
#include "session/InvoiceSession.h"

#include "book/BookCustomers.h"
#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"
#include "book/SqlStatement.h"
#include "common/AppError.h"
#include "facturae/TaxQrLine.h"
#include "session/RecordSignatures.h"
#include "session/RunCredentials.h"
#include "storage/DraftFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// "Generar Factura" and orvane-cli generate issue into the book: what is
// kept and in which order, the same document twice, a number taken by
// another document, a blank number, a book that cannot be used, the rules
// once billing records are made, and signed copies.
class tst_InvoiceIssuing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void issuedInvoiceIsKeptWithItsDocumentValueAndCustomer();
    void sameDocumentTwiceAddsNothing();
    void heldNumberIsReplacedOnlyWhenAsked_data();
    void heldNumberIsReplacedOnlyWhenAsked();
    void blankNumberTakesTheSeriesNext_data();
    void blankNumberTakesTheSeriesNext();
    void unusableBookWithoutRecords_data();
    void unusableBookWithoutRecords();
    void fileFailingAfterTheBookSaysTheInvoiceIsKept();
    void withRecordsTheInvoiceAndItsRecordAreOne();
    void withRecordsEachLineKeepsItsTreatment_data();
    void withRecordsEachLineKeepsItsTreatment();
    void withRecordsIssuingIsRefused_data();
    void withRecordsIssuingIsRefused();
    void withoutSendingEachRecordIsSigned_data();
    void withoutSendingEachRecordIsSigned();
    void withoutSendingNoRecordIsStoredUnsigned_data();
    void withoutSendingNoRecordIsStoredUnsigned();
    void withRecordsTheDocumentCarriesItsAddress_data();
    void withRecordsTheDocumentCarriesItsAddress();
    void withoutModeNoAddress();
    void signedCopyIsKeptWithItsInvoice();
    void correctiveOfAnInvoiceNotInTheBookKeepsNothing();

private:
    QString home() const { return m_dir->path(); }
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void writeText(const QString& name, const QString& text) const;
    // The sample invoice, with another number, date or first price.
    QString importFile(const QString& name, const QString& number,
                       const QString& date = QStringLiteral("15/03/2024"),
                       const QString& price = QStringLiteral("185,50")) const;
    // generate from a fresh session, as orvane-cli does.
    InvoiceSession::Generated generate(const QString& import,
                                       const InvoiceIssuing::Options& options = {},
                                       const QString& target = {}) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestPki> m_pki; // when the openssl command is there
};

namespace {

const QString Issuer = QStringLiteral("B15123458");
const QString RecordsMode = QStringLiteral("[MISDATOS]\nNIF=%1\n[VERIFACTU]\nMODO=VERIFACTU\n");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 count(const QString& home, const char* sql) {
    const auto db = BookDatabase::openExisting(home);
    return LedgerFixture::count(*db, sql);
}

InvoiceIssuing::Options recordOptions(const QString& home, LedgerFixture::FakeClock& clock) {
    InvoiceIssuing::Options options;
    options.recordDraft = InvoiceIssuing::recordFromDocument(home);
    options.ledger = LedgerFixture::options(clock);
    return options;
}

} // namespace

void tst_InvoiceIssuing::initTestCase() {
    if (!TestPki::available())
        return;
    m_pki = std::make_unique<TestPki>();
    QVERIFY2(m_pki->create(), qPrintable(m_pki->problem));
}

void tst_InvoiceIssuing::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    writeText(QStringLiteral("Registro.Ini"), QStringLiteral("[MISDATOS]\nNIF=%1\n").arg(Issuer));
}

void tst_InvoiceIssuing::writeText(const QString& name, const QString& text) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString tst_InvoiceIssuing::importFile(const QString& name, const QString& number,
                                       const QString& date, const QString& price) const {
    QString text =
        QString::fromUtf8(fileBytes(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini")));
    text.replace(QStringLiteral("FACTURA=2024-001"), QStringLiteral("FACTURA=") + number)
        .replace(QStringLiteral("FECHA=15/03/2024"), QStringLiteral("FECHA=") + date)
        .replace(QStringLiteral("VENCIMIENTO=15/04/2024"), QStringLiteral("VENCIMIENTO=") + date)
        .replace(QStringLiteral("PRECIO1=185,50"), QStringLiteral("PRECIO1=") + price);
    writeText(name, text);
    return path(name);
}

InvoiceSession::Generated tst_InvoiceIssuing::generate(const QString& import,
                                                       const InvoiceIssuing::Options& options,
                                                       const QString& target) const {
    InvoiceSession session(home());
    session.start(QDate(2027, 3, 5));
    session.importChosenFile(import);
    session.issuing() = options;
    return session.generateTo(target);
}

void tst_InvoiceIssuing::issuedInvoiceIsKeptWithItsDocumentValueAndCustomer() {
    const QString import = importFile(QStringLiteral("f.ini"), QStringLiteral("15"));
    const InvoiceSession::Generated generated = generate(import);
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    QVERIFY(generated.kept);
    QVERIFY(generated.notKept.isEmpty());

    const auto db = BookDatabase::openExisting(home());
    const InvoiceBook book(*db);
    const std::optional<BookEntry> entry = book.find(Issuer, QStringLiteral("A-15"));
    QVERIFY(entry);
    // The very bytes on disk, the figures the document states.
    QCOMPARE(book.document(entry->id), fileBytes(generated.path));
    QCOMPARE(entry->summary.baseCents, 55664);
    QCOMPARE(entry->summary.vatCents, 11437);
    QCOMPARE(entry->summary.totalCents, 67101);
    QCOMPARE(entry->summary.customerName, QStringLiteral("Concello de Ames"));
    QCOMPARE(entry->summary.dueDate, QDate(2024, 3, 15));
    QCOMPARE(book.vatGroups(entry->id), (QList<VatGroupRow>{{QStringLiteral("21.00"), 54464, 11437},
                                                            {QStringLiteral("0.00"), 1200, 0}}));
    QCOMPARE(book.history(entry->id).size(), 1);
    QCOMPARE(book.history(entry->id).first().kind, HistoryKind::Issued);

    // The value reads back as the same invoice.
    InvoiceSession again(home());
    again.start(QDate(2027, 3, 5));
    again.importChosenFile(import);
    QCOMPARE(*book.value(entry->id), DraftFile::text(again.record()));

    // The customer with its centres.
    const QList<CustomerRow> customers = BookCustomers(*db).startingWith(QStringLiteral("conce"));
    QCOMPARE(customers.size(), 1);
    QCOMPARE(customers.first().taxId, QStringLiteral("P1500200I"));
    QCOMPARE(customers.first().processingUnit, QStringLiteral("L01150022"));
}

void tst_InvoiceIssuing::sameDocumentTwiceAddsNothing() {
    const QString import = importFile(QStringLiteral("f.ini"), QStringLiteral("15"));
    const InvoiceSession::Generated first = generate(import);
    QFile::remove(first.path);
    int asked = 0;
    InvoiceIssuing::Options options;
    options.replace = [&](const BookEntry&) { return ++asked, true; };
    const InvoiceSession::Generated second = generate(import, options);
    QCOMPARE(second.status, InvoiceSession::GenerateStatus::Written);
    QCOMPARE(asked, 0);
    QCOMPARE(count(home(), "SELECT count(*) FROM invoices"), 1);
    QCOMPARE(count(home(), "SELECT count(*) FROM history"), 1);
    // The file is written again, from the book.
    const auto db = BookDatabase::openExisting(home());
    QCOMPARE(fileBytes(second.path), InvoiceBook(*db).document(second.kept->id));
}

void tst_InvoiceIssuing::heldNumberIsReplacedOnlyWhenAsked_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("declined") << false;
    QTest::newRow("accepted") << true;
}

void tst_InvoiceIssuing::heldNumberIsReplacedOnlyWhenAsked() {
    QFETCH(bool, answer);
    const QString first = importFile(QStringLiteral("f.ini"), QStringLiteral("15"));
    const InvoiceSession::Generated issued = generate(first);
    const QByteArray before = fileBytes(issued.path);

    const QString changed = importFile(QStringLiteral("g.ini"), QStringLiteral("15"),
                                       QStringLiteral("15/03/2024"), QStringLiteral("200"));
    QString asked;
    InvoiceIssuing::Options options;
    options.replace = [&](const BookEntry& held) {
        asked = InvoiceIssuing::heldText(held);
        return answer;
    };
    const InvoiceSession::Generated second = generate(changed, options, issued.path);
    QCOMPARE(asked, QStringLiteral("La factura A-15 ya está en el libro (emitida el 15/03/2024, "
                                   "671,01 €)."));
    const auto db = BookDatabase::openExisting(home());
    const InvoiceBook book(*db);
    const QList<BookEntry> versions = book.versions(Issuer, QStringLiteral("A-15"));
    if (!answer) {
        QCOMPARE(second.status, InvoiceSession::GenerateStatus::Cancelled);
        QCOMPARE(versions.size(), 1);
        QCOMPARE(fileBytes(issued.path), before); // nothing written
        return;
    }
    QCOMPARE(second.status, InvoiceSession::GenerateStatus::Written);
    QCOMPARE(versions.size(), 2);
    QVERIFY(!versions[0].current);
    QCOMPARE(versions[0].state, HistoryKind::Replaced);
    QVERIFY(versions[1].current);
    QCOMPARE(book.document(versions[1].id), fileBytes(issued.path));
    QVERIFY(fileBytes(issued.path) != before);
}

void tst_InvoiceIssuing::blankNumberTakesTheSeriesNext_data() {
    QTest::addColumn<QStringList>("inBook");
    QTest::addColumn<QString>("counter"); // [NUMERACION] A
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty book, no counter") << QStringList() << QString() << "1";
    QTest::newRow("empty book, counter") << QStringList() << "2024-007"
                                         << "2024-008";
    QTest::newRow("book later than counter") << QStringList{"2024-011", "2024-012"} << "2024-007"
                                             << "2024-013";
    QTest::newRow("counter later than book") << QStringList{"2024-003"} << "2024-009"
                                             << "2024-010";
}

void tst_InvoiceIssuing::blankNumberTakesTheSeriesNext() {
    QFETCH(QStringList, inBook);
    QFETCH(QString, counter);
    QFETCH(QString, expected);
    for (const QString& number : inBook)
        QCOMPARE(generate(importFile(number + QStringLiteral(".ini"), number)).status,
                 InvoiceSession::GenerateStatus::Written);
    if (!counter.isEmpty())
        writeText(QStringLiteral("Registro.Ini"),
                  QStringLiteral("[MISDATOS]\nNIF=%1\n[NUMERACION]\nA=%2\n").arg(Issuer, counter));
    const InvoiceSession::Generated generated =
        generate(importFile(QStringLiteral("blank.ini"), QString()));
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    QVERIFY(generated.kept);
    QCOMPARE(generated.kept->summary.number, expected);
    QVERIFY(fileBytes(generated.path).contains("<InvoiceNumber>" + expected.toUtf8() + "<"));
}

void tst_InvoiceIssuing::unusableBookWithoutRecords_data() {
    QTest::addColumn<QByteArray>("bookBytes"); // Libro.db as found
    QTest::newRow("random bytes") << QByteArray(8192, '\x5a');
    QTest::newRow("another program's database")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0');
}

// A damaged book is never written; the document still is, and the caller
// hears why it is not kept.
void tst_InvoiceIssuing::unusableBookWithoutRecords() {
    QFETCH(QByteArray, bookBytes);
    writeText(QStringLiteral("Libro.db"), QString());
    {
        QFile book(path(QStringLiteral("Libro.db")));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(bookBytes);
    }
    const InvoiceSession::Generated generated =
        generate(importFile(QStringLiteral("f.ini"), QStringLiteral("15")));
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    QVERIFY(!generated.kept);
    QVERIFY2(generated.notKept.contains(QStringLiteral("Libro.db")), qPrintable(generated.notKept));
    QVERIFY(QFileInfo::exists(generated.path));
    QCOMPARE(fileBytes(path(QStringLiteral("Libro.db"))), bookBytes);

    // With records made, nothing is issued without the book.
    writeText(QStringLiteral("Registro.Ini"), RecordsMode.arg(Issuer));
    LedgerFixture::FakeClock clock;
    const QString other = importFile(QStringLiteral("g.ini"), QStringLiteral("16"));
    try {
        generate(other, recordOptions(home(), clock));
        QFAIL("issued without its book");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("no se emite ninguna factura sin el libro")),
                 qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("g.XML"))));
    QCOMPARE(fileBytes(path(QStringLiteral("Libro.db"))), bookBytes);
}

void tst_InvoiceIssuing::fileFailingAfterTheBookSaysTheInvoiceIsKept() {
    const QString import = importFile(QStringLiteral("f.ini"), QStringLiteral("15"));
    const QString target = path(QStringLiteral("no-such-folder/F.XML"));
    try {
        generate(import, {}, target);
        QFAIL("a document that could not be written was reported saved");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("La factura A-15 está emitida y guardada "
                                                       "en el libro de facturas")),
                 qPrintable(e.message()));
        QVERIFY(e.message().contains(QStringLiteral("Guardar documento")));
    }
    QCOMPARE(count(home(), "SELECT count(*) FROM invoices WHERE series_number = 'A-15'"), 1);
    // The window hears it as a status, with the invoice kept.
    InvoiceSession session(home());
    session.start(QDate(2027, 3, 5));
    session.importChosenFile(import);
    session.record().setImportFile(QString(), QString()); // asks where to save
    const InvoiceSession::Generated generated = session.generate([&] { return target; });
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::KeptInBook);
    QCOMPARE(generated.kept->seriesNumber, QStringLiteral("A-15"));
}

void tst_InvoiceIssuing::withRecordsTheInvoiceAndItsRecordAreOne() {
    writeText(QStringLiteral("Registro.Ini"), RecordsMode.arg(Issuer));
    LedgerFixture::FakeClock clock;
    const QString import =
        importFile(QStringLiteral("f.ini"), QStringLiteral("15"), QStringLiteral("05/03/2027"));
    QCOMPARE(generate(import, recordOptions(home(), clock)).status,
             InvoiceSession::GenerateStatus::Written);
    // The same document again: no second record.
    QCOMPARE(generate(import, recordOptions(home(), clock)).status,
             InvoiceSession::GenerateStatus::Written);
    QCOMPARE(count(home(), "SELECT count(*) FROM invoices"), 1);
    QCOMPARE(count(home(), "SELECT count(*) FROM billing_records"), 1);
    QCOMPARE(count(home(),
                   "SELECT count(*) FROM billing_records r JOIN invoices i ON i.id = r.invoice_id "
                   "WHERE i.series_number = 'A-15'"),
             1);
}

// What the document cannot say (a reverse charge, the cause of an exemption)
// reaches the record from the line itself.
void tst_InvoiceIssuing::withRecordsEachLineKeepsItsTreatment_data() {
    QTest::addColumn<QString>("treatment");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("reverse charge") << "S2"
                                    << "CalificacionOperacion>S2<";
    QTest::newRow("exempt by article 21") << "E2"
                                          << "OperacionExenta>E2<";
    QTest::newRow("not subject by location") << "N2"
                                             << "CalificacionOperacion>N2<";
    QTest::newRow("at 0 % without a cause of its own") << ""
                                                       << "OperacionExenta>E6<";
}

void tst_InvoiceIssuing::withRecordsEachLineKeepsItsTreatment() {
    QFETCH(QString, treatment);
    QFETCH(QString, recorded);
    writeText(QStringLiteral("Registro.Ini"), RecordsMode.arg(Issuer));
    LedgerFixture::FakeClock clock;
    const QString import =
        importFile(QStringLiteral("f.ini"), QStringLiteral("16"), QStringLiteral("05/03/2027"));
    QString text = QString::fromUtf8(fileBytes(import));
    text.replace(QStringLiteral("IVA1=21\n"),
                 QStringLiteral("IVA1=0\n") +
                     (treatment.isEmpty() ? QString()
                                          : QStringLiteral("CALIFICACION1=%1\n").arg(treatment)));
    writeText(QStringLiteral("f.ini"), text);
    QCOMPARE(generate(import, recordOptions(home(), clock)).status,
             InvoiceSession::GenerateStatus::Written);
    const auto db = BookDatabase::openExisting(home());
    SqlStatement select(*db, "SELECT bytes FROM billing_records");
    QVERIFY(select.next());
    const QByteArray record = select.blob(0);
    QVERIFY2(record.contains(recorded.toUtf8()), record.constData());
}

void tst_InvoiceIssuing::withRecordsIssuingIsRefused_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("ownTaxId");
    QTest::addColumn<bool>("mapping");
    QTest::addColumn<QString>("customerTaxId");
    QTest::addColumn<QString>("message");
    const QString ok = QStringLiteral("P1500200I");
    const QString wrong = QStringLiteral("P1500200A");
    // clang-format off
    QTest::newRow("another issuer")
        << "16" << "185,50" << "B15123466" << true << ok << "no es el de Mis datos (B15123466)";
    QTest::newRow("number in the book")
        << "15" << "200" << Issuer << true << ok << "una factura emitida no se sustituye: anúlela";
    QTest::newRow("no mapping to a record")
        << "16" << "185,50" << Issuer << false << ok << "no sabe hacer todavía el registro";
    QTest::newRow("errors in the document")
        << "16" << "185,50" << Issuer << true << wrong << "La factura tiene errores y, con el registro";
    // clang-format on
}

void tst_InvoiceIssuing::withRecordsIssuingIsRefused() {
    QFETCH(QString, number);
    QFETCH(QString, price);
    QFETCH(QString, ownTaxId);
    QFETCH(bool, mapping);
    QFETCH(QString, customerTaxId);
    QFETCH(QString, message);
    writeText(QStringLiteral("Registro.Ini"), RecordsMode.arg(Issuer));
    LedgerFixture::FakeClock clock;
    const QString date = QStringLiteral("05/03/2027");
    QCOMPARE(generate(importFile(QStringLiteral("a.ini"), QStringLiteral("15"), date),
                      recordOptions(home(), clock))
                 .status,
             InvoiceSession::GenerateStatus::Written);
    writeText(QStringLiteral("Registro.Ini"), RecordsMode.arg(ownTaxId));
    InvoiceIssuing::Options options = recordOptions(home(), clock);
    if (!mapping)
        options.recordDraft = {};
    bool asked = false;
    options.replace = [&](const BookEntry&) { return asked = true; };
    const QString import = importFile(QStringLiteral("b.ini"), number, date, price);
    QString text = QString::fromUtf8(fileBytes(import));
    writeText(QStringLiteral("b.ini"), text.replace(QStringLiteral("NIF=P1500200I"),
                                                    QStringLiteral("NIF=") + customerTaxId));
    try {
        generate(import, options);
        QFAIL("issued against the rules of the records");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QVERIFY(!asked);
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("b.XML"))));
    QCOMPARE(count(home(), "SELECT count(*) FROM invoices"), 1);
    QCOMPARE(count(home(), "SELECT count(*) FROM billing_records"), 1);
}

namespace {

enum class Holder { None, Open, Declined, Cleared };

} // namespace

// The record of an invoice issued in each mode, given the run's certificate:
// signed (and its signature holding) only when the mode does not send it.
void tst_InvoiceIssuing::withoutSendingEachRecordIsSigned_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("signs");
    QTest::newRow("without sending") << "NOVERIFACTU" << true;
    QTest::newRow("sending: the certificate is not used") << "VERIFACTU" << false;
}

void tst_InvoiceIssuing::withoutSendingEachRecordIsSigned() {
    QFETCH(QString, mode);
    QFETCH(bool, signs);
    if (!m_pki)
        QSKIP("The openssl command is needed to make the test certificates");
    writeText(QStringLiteral("Registro.Ini"),
              QStringLiteral("[MISDATOS]\nNIF=%1\n[VERIFACTU]\nMODO=%2\n").arg(Issuer, mode));
    RunCredentials credentials;
    QByteArray password(TestPki::Password);
    credentials.open(m_pki->signer, password);
    QVERIFY(password.isEmpty());

    // The test certificates are valid from now on, and a signature is never
    // checked as made in the future: the invoice is issued now.
    LedgerFixture::FakeClock clock;
    clock.now = QDateTime::currentDateTimeUtc();
    const QDate today = clock.now.toTimeZone(GenerationTime::zone(Territory::Peninsula)).date();
    InvoiceIssuing::Options options = recordOptions(home(), clock);
    options.ledger.signer = credentials.signer();
    const InvoiceSession::Generated generated =
        generate(importFile(QStringLiteral("a.ini"), QStringLiteral("15"),
                            today.toString(QStringLiteral("dd/MM/yyyy"))),
                 options);
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);

    const auto db = BookDatabase::openExisting(home());
    SqlStatement select(*db, "SELECT bytes FROM billing_records");
    QVERIFY(select.next());
    const QByteArray record = select.blob(0);
    QVERIFY(!select.next());
    QCOMPARE(record.contains("SignatureValue"), signs);
    if (signs) {
        const QString problem = RecordSignatures::check()(record, RecordSigner::Kind::Record);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
}

// Without the run's certificate open, nothing at all is issued in the mode
// that signs: neither the invoice nor its record, nor the file.
void tst_InvoiceIssuing::withoutSendingNoRecordIsStoredUnsigned_data() {
    QTest::addColumn<Holder>("holder");
    QTest::addColumn<QString>("says");
    QTest::newRow("no signer") << Holder::None << "no se ha abierto con su contraseña";
    QTest::newRow("password not given at start") << Holder::Declined << "al empezar no se dio";
    QTest::newRow("cleared at quit") << Holder::Cleared << "no se ha abierto ninguno";
}

void tst_InvoiceIssuing::withoutSendingNoRecordIsStoredUnsigned() {
    QFETCH(Holder, holder);
    QFETCH(QString, says);
    writeText(QStringLiteral("Registro.Ini"),
              QStringLiteral("[MISDATOS]\nNIF=%1\n[VERIFACTU]\nMODO=NOVERIFACTU\n").arg(Issuer));
    LedgerFixture::FakeClock clock;
    InvoiceIssuing::Options options = recordOptions(home(), clock);
    RunCredentials credentials;
    if (holder == Holder::Declined)
        credentials.decline();
    if (holder == Holder::Cleared) {
        if (!m_pki)
            QSKIP("The openssl command is needed to make the test certificates");
        QByteArray password(TestPki::Password);
        credentials.open(m_pki->signer, password);
    }
    if (holder != Holder::None)
        options.ledger.signer = credentials.signer(); // handed out before the clear
    if (holder == Holder::Cleared)
        credentials.clear();

    const QString import =
        importFile(QStringLiteral("a.ini"), QStringLiteral("15"), QStringLiteral("05/03/2027"));
    try {
        generate(import, options);
        QFAIL("issued with an unsigned record");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("NO VERI*FACTU")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("a.XML"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("Libro.db"))) ||
            (count(home(), "SELECT count(*) FROM billing_records") == 0 &&
             count(home(), "SELECT count(*) FROM invoices") == 0));
}

void tst_InvoiceIssuing::signedCopyIsKeptWithItsInvoice() {
    const InvoiceSession::Generated generated =
        generate(importFile(QStringLiteral("f.ini"), QStringLiteral("15")));
    writeText(QStringLiteral("F.XSIG"), QStringLiteral("<firmada/>"));
    InvoiceSession session(home());
    QVERIFY(session.keepSignedCopy(generated.path, path(QStringLiteral("F.XSIG"))).isEmpty());
    // A document the book does not hold is left alone.
    writeText(QStringLiteral("other.xml"), QStringLiteral("<otra/>"));
    QVERIFY(
        session.keepSignedCopy(path(QStringLiteral("other.xml")), path(QStringLiteral("F.XSIG")))
            .isEmpty());

    const auto db = BookDatabase::openExisting(home());
    const InvoiceBook book(*db);
    const BookEntry entry = *book.find(Issuer, QStringLiteral("A-15"));
    QCOMPARE(book.signedDocument(entry.id), QByteArray("<firmada/>"));
    QCOMPARE(entry.state, HistoryKind::Signed);
    QCOMPARE(count(home(), "SELECT count(*) FROM documents WHERE kind = 'xsig'"), 1);
}

// The address inside the document is the record's (mode, host, ImporteTotal
// before withholding); the copy finds it in the book and prints the legend
// LEYENDA asks for, in VERI*FACTU mode only. The window's copy shows the
// issued document until the invoice changes.
void tst_InvoiceIssuing::withRecordsTheDocumentCarriesItsAddress_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("legend");
    const QString numbered = QStringLiteral("?nif=B15123458&numserie=A-15&fecha=05-03-2027&"
                                            "importe=671.01");
    QTest::newRow("VERI*FACTU")
        << "MODO=VERIFACTU"
        << "15"
        << "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR" + numbered
        << "VERI*FACTU";
    QTest::newRow("test host, the sede's legend")
        << "MODO=VERIFACTU\nENTORNO=PRUEBAS\nLEYENDA=SEDE"
        << "15"
        << "https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR" + numbered
        << "Factura verificable en la sede electrónica de la AEAT";
    QTest::newRow("without sending: no legend")
        << "MODO=NOVERIFACTU\nLEYENDA=SEDE"
        << "15"
        << "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQRNoVerifactu" + numbered
        << "";
    QTest::newRow("number given by the book")
        << "MODO=VERIFACTU"
        << ""
        << "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=B15123458&"
           "numserie=A-1&fecha=05-03-2027&importe=671.01"
        << "VERI*FACTU";
}

void tst_InvoiceIssuing::withRecordsTheDocumentCarriesItsAddress() {
    QFETCH(QString, settings);
    QFETCH(QString, number);
    QFETCH(QString, address);
    QFETCH(QString, legend);
    writeText(QStringLiteral("Registro.Ini"),
              QStringLiteral("[MISDATOS]\nNIF=%1\n[VERIFACTU]\n%2\n").arg(Issuer, settings));
    LedgerFixture::FakeClock clock;
    InvoiceIssuing::Options options = recordOptions(home(), clock);
    // A stand-in signature: what is tested here is the address, not the signing.
    options.ledger.signer.sign = [](const QByteArray& xml, RecordSigner::Kind, const QDateTime&) {
        return xml;
    };
    const QString import =
        importFile(QStringLiteral("f.ini"), number, QStringLiteral("05/03/2027"));

    InvoiceSession session(home());
    session.start(QDate(2027, 3, 5));
    session.importChosenFile(import);
    session.issuing() = options;
    const InvoiceSession::Generated generated = session.generateTo({});
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    const QByteArray written = fileBytes(generated.path);
    QCOMPARE(written.count("<InvoiceAdditionalInformation>"), 1);
    QCOMPARE(TaxQrLine::inDocument(written), address);
    QVERIFY(written.contains("QR tributario: " + address.toUtf8().replace("&", "&amp;")));

    const TaxQr qr = session.taxQrOf(written);
    QCOMPARE(qr.address, address);
    QCOMPARE(qr.legend, legend);
    // A changed address is no longer the record's: no legend, no code of ours.
    QByteArray altered = written;
    altered.replace("importe=671.01", "importe=671.02");
    QVERIFY(session.taxQrOf(altered).isEmpty());

    QCOMPARE(session.shownDocument(), written);
    session.record().setText(RecordField::InvoiceNumber, QStringLiteral("99"));
    QVERIFY(!session.shownDocument().contains("QR tributario"));
    QVERIFY(session.taxQrOf(session.shownDocument()).isEmpty());
}

void tst_InvoiceIssuing::withoutModeNoAddress() {
    const QString import = importFile(QStringLiteral("f.ini"), QStringLiteral("15"));
    InvoiceSession session(home());
    session.start(QDate(2027, 3, 5));
    session.importChosenFile(import);
    const QByteArray before = session.currentDocument();
    const InvoiceSession::Generated generated = session.generateTo({});
    QCOMPARE(generated.status, InvoiceSession::GenerateStatus::Written);
    QCOMPARE(fileBytes(generated.path), before);
    QVERIFY(!before.contains("AdditionalData"));
    QVERIFY(session.taxQrOf(before).isEmpty());
}

// An import file describing a corrective of an invoice the book does not
// hold: refused inside the issue, so neither the invoice nor its document
// is kept. The same file naming an invoice of the book is linked to it.
void tst_InvoiceIssuing::correctiveOfAnInvoiceNotInTheBookKeepsNothing() {
    QCOMPARE(generate(importFile(QStringLiteral("a.ini"), QStringLiteral("15"))).status,
             InvoiceSession::GenerateStatus::Written);
    const QString corrective = importFile(QStringLiteral("r.ini"), QStringLiteral("1"));
    const QString section = QStringLiteral("\n[RECTIFICATIVA]\nSERIE=A\nFACTURA=%1\n"
                                           "FECHA=15/03/2024\nMOTIVO=01\n");
    {
        QFile file(corrective);
        QVERIFY(file.open(QIODevice::Append));
        file.write(section.arg(QStringLiteral("99")).toUtf8());
    }
    const QString target = path(QStringLiteral("r.XML"));
    try {
        generate(corrective, {}, target);
        QFAIL("issued a corrective of an invoice not in the book");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("La factura A-99 que esta rectifica no está "
                                                       "en el libro de facturas")),
                 qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(target));
    QCOMPARE(count(home(), "SELECT count(*) FROM invoices"), 1);
    QCOMPARE(count(home(), "SELECT count(*) FROM corrections"), 0);

    QString text = QString::fromUtf8(fileBytes(corrective));
    writeText(QStringLiteral("r.ini"),
              text.replace(QStringLiteral("FACTURA=99"), QStringLiteral("FACTURA=15")));
    QCOMPARE(generate(corrective, {}, target).status, InvoiceSession::GenerateStatus::Written);
    QCOMPARE(count(home(), "SELECT count(*) FROM corrections"), 1);
    QVERIFY(fileBytes(target).contains("<InvoiceClass>OR</InvoiceClass>"));
}

QTEST_GUILESS_MAIN(tst_InvoiceIssuing)
#include "tst_InvoiceIssuing.moc"
