#include "app/RecordRun.h"

#include "app/MainStatusBar.h"
#include "app/RecordStatus.h"
#include "app/SignatureFlow.h"
#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "session/InvoiceSession.h"
#include "session/RunEvents.h"
#include "settings/AppFiles.h"
#include "signing/SigningCertificate.h"
#include "storage/IniFile.h"
#include "widgets/Prompts.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace {

const QString Caption = QStringLiteral("Registro de facturación");

} // namespace

struct RecordRun::CheckResult {
    std::optional<IntegrityReport> report;
    QString problem;
};

RecordRun::RecordRun(InvoiceSession& session, QWidget* window, MainStatusBar* status)
    : QObject(window), m_session(session), m_window(window), m_status(status),
      m_events(std::make_unique<RunEvents>(session.appDir(), session.credentials().signer())) {
    m_timer = new QTimer(this);
    m_timer->setInterval(60 * 1000);
    connect(m_timer, &QTimer::timeout, this, &RecordRun::summaryIfDue);
}

RecordRun::~RecordRun() {
    if (m_check) {
        m_check->wait();
        delete m_check;
    }
}

void RecordRun::setClock(GenerationTime::Clock clock) {
    m_clock = std::move(clock);
    m_events =
        std::make_unique<RunEvents>(m_session.appDir(), m_session.credentials().signer(), m_clock);
}

bool RecordRun::modeSigns() const {
    return m_events->active();
}

void RecordRun::start() {
    if (modeSigns() && askPassword())
        checkInBackground();
    refresh();
    m_timer->start();
}

void RecordRun::quit() {
    m_timer->stop();
    if (m_check)
        m_check->wait();
    if (modeSigns() && m_session.credentials().isOpen()) {
        // The status bar is about to go: said in a box.
        try {
            m_events->summaryAtQuit();
        } catch (const AppError& e) {
            Prompts::instance().warn(
                m_window, Caption,
                QStringLiteral("No se ha podido anotar el resumen de eventos al cerrar: %1")
                    .arg(withFullStop(e.message())));
        }
    }
    m_session.credentials().clear();
}

void RecordRun::summaryIfDue() {
    if (!modeSigns() || !m_session.credentials().isOpen())
        return;
    try {
        m_events->summaryIfDue();
    } catch (const AppError& e) {
        // Still due: the next minute tries again.
        m_status->report(
            QStringLiteral("No se ha podido anotar el resumen de eventos de cada 6 horas: %1")
                .arg(e.message()));
    }
}

void RecordRun::refresh() {
    RecordSettings::Mode mode = RecordSettings::Mode::None;
    try {
        mode = RecordSettings::read(IniFile(AppFiles::registroIni(m_session.appDir()))).mode;
    } catch (const AppError&) {
        // The status bar's notice names the value the program does not know.
    }
    RecordStatus* shown = m_status->records();
    switch (mode) {
    case RecordSettings::Mode::None:
        shown->setMode(QString());
        break;
    case RecordSettings::Mode::Verifactu:
        shown->setMode(QStringLiteral("VERI*FACTU"));
        break;
    case RecordSettings::Mode::NoVerifactu:
        shown->setMode(QStringLiteral("NO VERI*FACTU"), !m_session.credentials().isOpen());
        break;
    }
    try {
        const std::optional<IntegrityAlarm> alarm = m_events->alarm();
        shown->setAlarm(alarm ? alarm->text() : QString());
    } catch (const AppError& e) {
        shown->setAlarm(e.message());
    }
}

void RecordRun::checkInBackground() {
    m_result = std::make_shared<CheckResult>();
    // The check reads the whole book: the window goes on meanwhile. It has
    // its own connection to the book, and its own events.
    auto events =
        std::make_shared<RunEvents>(m_session.appDir(), m_session.credentials().signer(), m_clock);
    m_check = QThread::create([events, result = m_result] {
        try {
            result->report = events->checkIntegrity();
        } catch (const AppError& e) {
            result->problem = e.message();
        } catch (const std::exception& e) {
            result->problem = QString::fromLocal8Bit(e.what());
        }
    });
    connect(m_check, &QThread::finished, this, &RecordRun::checkEnded);
    m_status->report(QStringLiteral("Comprobando los registros de facturación y los eventos…"));
    m_check->start();
}

void RecordRun::checkEnded() {
    m_check->deleteLater();
    m_check = nullptr;
    if (!m_result->problem.isEmpty())
        m_status->report(
            QStringLiteral("No se ha podido comprobar el libro: %1").arg(m_result->problem));
    else if (m_result->report->ok())
        m_status->report(QStringLiteral("Registros de facturación y eventos comprobados: "
                                        "correctos"));
    else
        m_status->report(QStringLiteral("La comprobación del libro ha encontrado un fallo: %1")
                             .arg(m_result->report->lines().join(QStringLiteral("; "))));
    refresh();
    emit checked();
}

bool RecordRun::askPassword() {
    if (!modeSigns() || m_session.credentials().isOpen())
        return m_session.credentials().isOpen();
    return openCertificate();
}

bool RecordRun::changeMode(RecordSettings::Mode from, RecordSettings::Mode to) {
    using Mode = RecordSettings::Mode;
    if (from == to || (from != Mode::NoVerifactu && to != Mode::NoVerifactu))
        return true;
    if (!m_session.credentials().isOpen() && !openCertificate())
        return false;
    if (to == Mode::NoVerifactu)
        m_events->modeStarted();
    else
        m_events->modeEnded();
    return true;
}

bool RecordRun::openCertificate() {
    RunCredentials& credentials = m_session.credentials();
    const QString path = RunCredentials::certificateFile(m_session.appDir());
    try {
        if (path.isEmpty())
            throw AppError(QStringLiteral("En el modo NO VERI*FACTU cada registro y cada evento "
                                          "se firma con el certificado de Configuración > Firma, "
                                          "y no hay ninguno elegido: elíjalo allí"));
        if (!QFileInfo(path).isFile())
            throw AppError(QStringLiteral("No se encuentra el certificado %1 que nombra "
                                          "Configuración > Firma: elíjalo allí de nuevo")
                               .arg(QDir::toNativeSeparators(path)));
        std::optional<SigningCertificate> opened = SignatureFlow::openAsked(
            m_window, path,
            QStringLiteral("Orvane trabaja sin envío (NO VERI*FACTU): cada registro de "
                           "facturación\ny cada evento se firma con su certificado. Escriba su "
                           "contraseña\nuna vez para esta sesión; Orvane la olvida al cerrarse."));
        if (opened) {
            // An expired certificate would refuse every signature of the run.
            opened->checkUsableAt(QDateTime::currentDateTime());
            credentials.keep(std::move(*opened));
        } else {
            credentials.decline();
        }
    } catch (const AppError& e) {
        credentials.decline();
        Prompts::instance().warn(m_window, Caption,
                                 withFullStop(e.message()) +
                                     QStringLiteral("\nEn esta sesión no se puede emitir ninguna "
                                                    "factura."));
    }
    showCertificateState();
    refresh();
    return credentials.isOpen();
}

void RecordRun::showCertificateState() {
    if (m_session.credentials().isOpen())
        m_status->report(QStringLiteral("NO VERI*FACTU: certificado abierto para esta sesión; "
                                        "los registros y eventos se firman con él"));
    else
        m_status->report(QStringLiteral("NO VERI*FACTU: sin la contraseña del certificado no se "
                                        "puede emitir ninguna factura en esta sesión"));
}
