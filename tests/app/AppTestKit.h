#pragma once

#include "app/uPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <memory>

namespace AppTestKit {

// Writes text as UTF-8 into dir/relative, creating folders.
inline void writeFile(const QString& dir, const QString& relative, const QString& text) {
    const QString path = QDir(dir).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

// A main window over appDir, shown (so its start-up has run) and active.
inline std::unique_ptr<TForm2> openWindow(const QString& appDir) {
    auto window = std::make_unique<TForm2>(appDir);
    window->setModalRunner([](QDialog&) {});
    window->show();
    QApplication::setActiveWindow(window.get());
    [&] { QVERIFY(QTest::qWaitForWindowActive(window.get())); }();
    return window;
}

inline QLineEdit* edit(QWidget* window, const char* name) {
    return window->findChild<QLineEdit*>(QLatin1String(name));
}

// What a totals box shows.
inline QString shown(QWidget* window, const char* name) {
    return edit(window, name)->text();
}

} // namespace AppTestKit
