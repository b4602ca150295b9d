#pragma once

#include "FakePrompts.h"
#include "WindowTestKit.h"

#include <QObject>
#include <QTemporaryDir>

// The fixture of a settings-window test: a temporary application folder and
// scripted prompts. A test class derives from it and calls startWindowTest()
// from its init() slot and endWindowTest() from cleanup().
class WindowTestCase : public QObject {
protected:
    // A fresh start for the next test: the named files of the folder removed,
    // the prompts' script and record emptied and installed.
    void startWindowTest(const QStringList& removedFiles = {}) {
        QVERIFY(m_dir.isValid());
        for (const QString& name : removedFiles)
            QFile::remove(m_dir.filePath(name));
        m_prompts.reset();
        m_prompts.install();
    }
    void endWindowTest() { Prompts::setInstance(nullptr); }

    template <typename T> static T* child(QWidget& window, const char* name) {
        return WindowTestKit::child<T>(window, name);
    }
    static QStringList tabChain(QWidget& window, const QStringList& names) {
        return WindowTestKit::tabChain(window, names);
    }

    QTemporaryDir m_dir;
    FakePrompts m_prompts;
};
