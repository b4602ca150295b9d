#pragma once

#include "widgets/Prompts.h"

#include <QQueue>
#include <QString>
#include <QStringList>

// Answers every dialog from a script and remembers what was shown.
class FakePrompts : public Prompts {
public:
    struct Shown {
        QString kind; // confirm, warn, inform, plain, error, open, save, ask
        QString caption;
        QString text;
    };

    FakePrompts() { Prompts::setInstance(this); }
    ~FakePrompts() override { Prompts::setInstance(nullptr); }

    QQueue<bool> confirmAnswers; // empty: Cancel
    QQueue<QString> fileAnswers; // empty: cancelled
    QList<Shown> shown;
    QStringList startPaths; // where each file dialog was asked to start

    QStringList kinds() const {
        QStringList k;
        for (const Shown& s : shown)
            k << s.kind;
        return k;
    }
    QStringList errors() const { return textsOf(QStringLiteral("error")); }
    QStringList textsOf(const QString& kind) const {
        QStringList t;
        for (const Shown& s : shown)
            if (s.kind == kind)
                t << s.text;
        return t;
    }

    bool confirm(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("confirm"), caption, text});
        return !confirmAnswers.isEmpty() && confirmAnswers.dequeue();
    }
    void warn(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("warn"), caption, text});
    }
    void inform(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("inform"), caption, text});
    }
    void plain(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("plain"), caption, text});
    }
    void errorBox(QWidget*, const QString& text) override {
        shown.append({QStringLiteral("error"), QStringLiteral("Orvane"), text});
    }
    QString openFile(QWidget*, const QString& filters, const QString& selected) override {
        shown.append({QStringLiteral("open"), selected, filters});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString saveFile(QWidget*, const QString& filters, const QString& suffix) override {
        shown.append({QStringLiteral("save"), suffix, filters});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
    }
    QString openFileAt(QWidget* parent, const QString& filters, const QString& selected,
                       const QString& startPath) override {
        startPaths << startPath;
        return openFile(parent, filters, selected);
    }
    QString saveFileAt(QWidget* parent, const QString& filters, const QString& suffix,
                       const QString& startPath) override {
        startPaths << startPath;
        return saveFile(parent, filters, suffix);
    }
    bool askText(QWidget*, const QString& caption, const QString& prompt, QString&) override {
        shown.append({QStringLiteral("ask"), caption, prompt});
        return false;
    }
};
