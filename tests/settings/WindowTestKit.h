#pragma once

// Small helpers shared by the settings-window tests.

#include <QFile>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace WindowTestKit {

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

} // namespace WindowTestKit
