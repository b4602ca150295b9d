#include "session/RunEvents.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "ledger/AlarmStore.h"
#include "ledger/RecordSettings.h"
#include "session/RecordSignatures.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

#include <QStringList>

RunEvents::RunEvents(QString appDir, RecordSigner signer, GenerationTime::Clock clock)
    : m_appDir(std::move(appDir)), m_signer(std::move(signer)),
      m_clock(clock ? std::move(clock) : GenerationTime::systemClock()), m_timer(m_clock) {}

QString RunEvents::issuerName(const IssuerSettings& issuer) {
    if (issuer.personLetter() != u"F")
        return issuer.name;
    QStringList parts;
    for (const QString& part : {issuer.name, issuer.surname1, issuer.surname2}) {
        if (!part.trimmed().isEmpty())
            parts << part.trimmed();
    }
    return parts.join(u' ');
}

EventLog::Issuer RunEvents::issuer(const QString& appDir) {
    const IniFile ini(AppFiles::registroIni(appDir));
    const IssuerSettings settings = IssuerSettings::read(ini);
    return {issuerName(settings), settings.taxId.trimmed(), RecordSettings::read(ini).territory};
}

EventLog RunEvents::log(BookDatabase& db, const QString& appDir, const RecordSigner& signer,
                        const GenerationTime::Clock& clock) {
    EventLog::Options options;
    options.clock = clock;
    return EventLog(db, issuer(appDir), signer, options);
}

bool RunEvents::active() const {
    try {
        return RecordSettings::read(IniFile(AppFiles::registroIni(m_appDir))).mode ==
               RecordSettings::Mode::NoVerifactu;
    } catch (const AppError&) {
        return false; // a value the program does not know stops records altogether
    }
}

IntegrityReport RunEvents::checkIntegrity() const {
    const auto db = BookDatabase::open(m_appDir);
    EventLog events = log(*db, m_appDir, m_signer, m_clock);
    return IntegrityCheck::run(*db, events, RecordSignatures::check());
}

std::optional<IntegrityAlarm> RunEvents::alarm() const {
    const auto db = BookDatabase::openIfPresent(m_appDir);
    if (!db)
        return std::nullopt;
    return AlarmStore::active(*db);
}

IntegrityAlarm RunEvents::resolveAlarm(const QString& note) const {
    const auto db = BookDatabase::openExisting(m_appDir);
    EventLog events = log(*db, m_appDir, m_signer, m_clock);
    return AlarmStore::resolve(*db, events, note);
}

bool RunEvents::summaryIfDue() {
    if (!m_timer.due())
        return false;
    writeSummary();
    return true;
}

void RunEvents::summaryAtQuit() {
    writeSummary();
}

void RunEvents::writeSummary() {
    const auto db = BookDatabase::open(m_appDir);
    log(*db, m_appDir, m_signer, m_clock).appendSummary();
    m_timer.written();
}

void RunEvents::append(EventType type) const {
    const auto db = BookDatabase::open(m_appDir);
    EventRecord event;
    event.type = type;
    log(*db, m_appDir, m_signer, m_clock).append(event);
}

void RunEvents::modeStarted() const {
    append(EventType::ModeStart);
}

void RunEvents::modeEnded() const {
    append(EventType::ModeEnd);
}
