// Times one pass of sending over a book with 1,000 waiting records: the
// records read from the book, put in one message, sent over TLS with the
// client certificate to the tests' local stand-in of the service (which
// checks the message against the schemas with xmllint before answering), and
// the answer applied to every record. Each run starts from a fresh copy of
// the book and a fresh stand-in; neither start is timed.
//
//   orvane-bench-sending [RUNS]   (default 5)

#include "BenchKit.h"
#include "LedgerFixture.h"
#include "StandIn.h"
#include "TestPki.h"

#include "ledger/RecordQueue.h"
#include "sending/RecordSending.h"
#include "sending/ServiceSettings.h"
#include "signing/SigningCertificate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

using namespace LedgerFixture;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = app.arguments().size() >= 2 ? qMax(1, app.arguments()[1].toInt()) : 5;
    QTextStream out(stdout);

    const QString missing = StandIn::missingTool();
    if (!missing.isEmpty()) {
        out << missing << " is needed for the stand-in of the service\n";
        return 1;
    }
    TestPki pki;
    StandIn standIn;
    if (!pki.create() || !standIn.prepare(pki, QStringLiteral(ORVANE_STANDIN_SCRIPT))) {
        out << "cannot prepare the stand-in: " << pki.problem << standIn.problem << '\n';
        return 1;
    }

    QTemporaryDir made;
    {
        auto db = BookDatabase::open(made.path());
        FakeClock clock;
        RecordLedger ledger(*db, options(clock));
        for (int n = 1; n <= RecordQueue::MaxRecords; ++n) {
            clock.now = clock.now.addSecs(1);
            issue(ledger, QString::number(n));
        }
    }
    RecordBatch::Header header;
    header.issuerNif = Issuer;
    header.issuerName = IssuerName;

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir home;
        QFile::copy(made.filePath(QStringLiteral("Libro.db")),
                    home.filePath(QStringLiteral("Libro.db")));
        if (!standIn.start({QJsonObject{{"action", "answer"}}})) {
            out << "the stand-in did not start: " << standIn.problem << '\n';
            return 1;
        }
        ServiceSettings settings;
        settings.address = standIn.address();
        settings.extraAuthorities = standIn.serverAuthority();
        QByteArray password(TestPki::Password);
        const SigningCertificate certificate = SigningCertificate::open(pki.signer, password);
        ClientSetup setup = ClientSetup::make(settings, &certificate, pki.signer);
        setup.timeoutSeconds = 120;
        auto db = BookDatabase::open(home.path());

        QElapsedTimer timer;
        timer.start();
        const RecordSending::Pass pass =
            RecordSending::run(*db, header, setup, [] { return QDateTime::currentDateTimeUtc(); });
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (!pass.sent || !pass.ok()) {
            out << "the pass did not send everything: " << pass.message << '\n';
            return 1;
        }
    }
    out << "1,000 records in one message, read, sent, answered and applied: median "
        << QString::number(BenchKit::median(times), 'f', 0) << " ms over " << runs << " runs\n";
    return 0;
}
