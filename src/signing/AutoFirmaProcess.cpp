#include "signing/AutoFirmaProcess.h"

#include "signing/AutoFirmaLaunch.h"

#include <QDir>
#include <QProcess>

AutoFirmaProcess::AutoFirmaProcess(QObject* parent) : QObject(parent) {}

AutoFirmaProcess::~AutoFirmaProcess() {
    // AutoFirma is the person's: it is left running, only our watch ends.
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        m_process->waitForFinished(-1);
    }
}

QString AutoFirmaProcess::start(const QString& folder, const QString& program,
                                const QStringList& arguments) {
    if (isRunning())
        return QStringLiteral("AutoFirma ya está en marcha");
    delete m_process;
    m_process = new QProcess(this);
    m_process->setWorkingDirectory(folder);
    m_process->setProgram(QDir(folder).filePath(program));
    m_process->setArguments(arguments);
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    m_process->start();
    if (!m_process->waitForStarted(-1)) {
        const QString error =
            AutoFirmaLaunch::startFailure(folder, program, m_process->errorString());
        delete m_process;
        m_process = nullptr;
        return error;
    }
    connect(m_process, &QProcess::finished, this, &AutoFirmaProcess::finished,
            Qt::QueuedConnection);
    return {};
}

bool AutoFirmaProcess::isRunning() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

void AutoFirmaProcess::waitForEnd() {
    if (isRunning())
        m_process->waitForFinished(-1);
}
