#pragma once

#include "FakePrompts.h"
#include "WindowTestKit.h"

#include "app/uPrincipal.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <memory>

// The fixture of a main-window test: a fresh application folder and scripted
// prompts for every test, and the window once the test opens it. A test class
// derives from it and calls startMainWindowTest() from its init() slot and
// endMainWindowTest() from cleanup().
class MainWindowTestCase : public QObject {
protected:
    void startMainWindowTest() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_prompts = std::make_unique<FakePrompts>();
    }
    void endMainWindowTest() {
        m_window.reset();
        m_prompts.reset();
    }

    QString path() const { return m_dir->path(); }
    QString file(const QString& relative) const { return QDir(path()).filePath(relative); }
    void open() { m_window = WindowTestKit::openWindow(path()); }

    // A file's bytes; "(missing)" when there is none, so a comparison shows it.
    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakePrompts> m_prompts;
    std::unique_ptr<TForm2> m_window;
};
