#pragma once

// Helpers shared by every window test.

#include "app/uPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>

namespace WindowTestKit {

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Writes text as UTF-8 into dir/relative, creating folders.
inline void writeFile(const QString& dir, const QString& relative, const QString& text) {
    const QString path = QDir(dir).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The named child of a window; the test stops when there is none.
template <typename T> T* child(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// What the named caption reads on screen: a single "&" marks the next letter
// as the accelerator and is not shown, "&&" shows one ampersand.
inline QString caption(const QWidget* window, const char* name) {
    const QLabel* label = window->findChild<QLabel*>(QLatin1String(name));
    if (!label)
        qFatal("no %s", name);
    QString text = label->text();
    return text.replace(QRegularExpression(QStringLiteral("&(.)")), QStringLiteral("\\1"));
}
inline QString caption(const QWidget& window, const char* name) {
    return caption(&window, name);
}

// The named widgets in the order Tab visits them, starting at the first.
inline QStringList tabChain(QWidget& window, const QStringList& names) {
    QWidget* first = window.findChild<QWidget*>(names.constFirst());
    QStringList chain{names.constFirst()};
    for (QWidget* w = first->nextInFocusChain(); w != first && chain.size() < names.size();
         w = w->nextInFocusChain()) {
        if (names.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain.append(w->objectName());
    }
    return chain;
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

} // namespace WindowTestKit
