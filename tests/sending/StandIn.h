#pragma once

// Runs the local stand-in of the tax agency's service (aeat_standin.py) for a
// test: its own certification authority and server certificate for
// 127.0.0.1, made with openssl; client certificates accepted when they chain
// to the test PKI's root. Each start gets a script of answers and an empty log.

#include "TestPki.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

class StandIn {
public:
    QString problem;

    static QString missingTool() {
        for (const char* tool : {"python3", "openssl", "xmllint"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                return QLatin1String(tool);
        }
        return {};
    }

    // The server's authority and certificate, and the file of authorities the
    // server trusts for clients.
    bool prepare(const TestPki& clients, const QString& script) {
        m_script = script;
        if (!m_dir.isValid())
            return fail(QStringLiteral("no temporary folder"));
        QFile extensions(path("server.ext"));
        if (!extensions.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write server.ext"));
        extensions.write("basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature,"
                         "keyEncipherment\nextendedKeyUsage = serverAuth\n"
                         "subjectAltName = IP:127.0.0.1,DNS:localhost\n");
        extensions.close();
        if (!openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                      "ca.pem", "-days", "30", "-subj", "/CN=AC de servidores ficticia", "-addext",
                      "basicConstraints=critical,CA:TRUE", "-addext",
                      "keyUsage=critical,keyCertSign,cRLSign"}) ||
            !openssl({"req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key",
                      "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) ||
            !openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                      "-CAcreateserial", "-days", "30", "-extfile", "server.ext", "-out",
                      "server.pem"}))
            return false;
        QFile trusted(path("clients.pem"));
        if (!trusted.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write clients.pem"));
        for (const QString& pem : {clients.rootPem, clients.intermediatePem}) {
            QFile file(pem);
            if (!file.open(QIODevice::ReadOnly))
                return fail(QStringLiteral("cannot read ") + pem);
            trusted.write(file.readAll());
        }
        return true;
    }

    // The authority a client must trust to accept the stand-in.
    QString serverAuthority() const { return path("ca.pem"); }

    // Starts a fresh stand-in that answers with these steps.
    bool start(const QJsonArray& steps) {
        stop();
        ++m_runs;
        m_log = path(QStringLiteral("log%1").arg(m_runs));
        QDir().mkpath(m_log);
        const QString scriptFile = path(QStringLiteral("script%1.json").arg(m_runs));
        QFile file(scriptFile);
        if (!file.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write the script"));
        file.write(QJsonDocument(QJsonObject{{"steps", steps}}).toJson());
        file.close();

        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"),
                        {m_script, "--cert", path("server.pem"), "--key", path("server.key"),
                         "--client-ca", path("clients.pem"), "--schema",
                         QStringLiteral(ORVANE_THIRD_PARTY_DIR "/verifactu/xsd/verifactu-all.xsd"),
                         "--script", scriptFile, "--log", m_log, "--lifetime", "300"});
        if (!m_process.waitForStarted(10000))
            return fail(QStringLiteral("python3 did not start"));
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return fail(QStringLiteral("the stand-in did not say its port"));
        }
        const QByteArray line = m_process.readLine().trimmed();
        if (!line.startsWith("PORT "))
            return fail(QStringLiteral("unexpected first line: ") + QString::fromUtf8(line));
        m_port = line.mid(5).toInt();
        return true;
    }

    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    ~StandIn() { stop(); }

    QUrl address() const {
        return QUrl(QStringLiteral("https://127.0.0.1:%1/wlpl/TIKE-CONT/ws/SistemaFacturacion/"
                                   "VerifactuSOAP")
                        .arg(m_port));
    }

    // What the stand-in recorded of each request, in order.
    QList<QJsonObject> requests() const {
        QList<QJsonObject> seen;
        for (int n = 1;; ++n) {
            QFile file(QDir(m_log).filePath(QStringLiteral("%1.json").arg(n, 3, 10, QChar(u'0'))));
            if (!file.open(QIODevice::ReadOnly))
                return seen;
            seen.append(QJsonDocument::fromJson(file.readAll()).object());
        }
    }

    // The bytes of request n (from 1) as they arrived.
    QByteArray requestBody(int n) const {
        QFile file(QDir(m_log).filePath(QStringLiteral("%1.xml").arg(n, 3, 10, QChar(u'0'))));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The TLS handshakes the stand-in refused.
    QString refusedHandshakes() const {
        QFile file(QDir(m_log).filePath(QStringLiteral("handshake.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool fail(const QString& text) {
        problem = text;
        return false;
    }

    bool openssl(const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral("openssl"), arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            return fail(QStringLiteral("openssl %1: %2")
                            .arg(arguments.join(u' '),
                                 QString::fromLocal8Bit(process.readAllStandardError())));
        return true;
    }

    QTemporaryDir m_dir;
    QString m_script;
    QString m_log;
    QProcess m_process;
    int m_port = 0;
    int m_runs = 0;
};
