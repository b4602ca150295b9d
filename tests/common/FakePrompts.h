#pragma once

#include "widgets/Prompts.h"

#include <QList>
#include <QMetaType>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <optional>

// Answers every dialog from a script and remembers what was shown. It is the
// program's prompts from its construction to its destruction (install() puts
// it back after a test replaced it).
class FakePrompts : public Prompts {
public:
    struct Shown {
        QString kind;    // confirm, unsaved, warn, inform, plain, error, open, save, ask, password
        QString caption; // for open: the selected filter; for save: the suffix
        QString text;    // for open and save: the filters
        QString details = {}; // what "Mostrar los detalles…" opens
    };

    FakePrompts() { install(); }
    ~FakePrompts() override { Prompts::setInstance(nullptr); }
    FakePrompts(const FakePrompts&) = delete;
    FakePrompts& operator=(const FakePrompts&) = delete;

    void install() { Prompts::setInstance(this); }
    // Forgets the answers and what was shown.
    void reset() {
        confirmAnswers.clear();
        saveChoices.clear();
        fileAnswers.clear();
        textAnswers.clear();
        passwordAnswers.clear();
        shown.clear();
    }

    QQueue<bool> confirmAnswers;                // empty: Cancel
    QQueue<SaveChoice> saveChoices;             // the unsaved-changes question; empty: Cancelar
    QQueue<QString> fileAnswers;                // open and save dialogs; empty text: cancelled
    QQueue<std::optional<QString>> textAnswers; // askText; std::nullopt or none left: cancelled
    QQueue<std::optional<QByteArray>> passwordAnswers; // askPassword; as textAnswers
    QList<Shown> shown;
    QStringList startPaths; // where each file dialog was asked to start

    QStringList kinds() const {
        QStringList k;
        for (const Shown& s : shown)
            k << s.kind;
        return k;
    }
    QStringList textsOf(const QString& kind) const {
        QStringList t;
        for (const Shown& s : shown)
            if (s.kind == kind)
                t << s.text;
        return t;
    }
    // Texts of the application error box.
    QStringList errors() const { return textsOf(QStringLiteral("error")); }
    // Filters of each open dialog.
    QStringList openFilters() const { return textsOf(QStringLiteral("open")); }
    // "caption|prompt" of each one-line question.
    QStringList askedTexts() const {
        QStringList t;
        for (const Shown& s : shown)
            if (s.kind == u"ask")
                t << s.caption + u'|' + s.text;
        return t;
    }

    bool confirm(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("confirm"), caption, text});
        return !confirmAnswers.isEmpty() && confirmAnswers.dequeue();
    }
    SaveChoice askSaveDiscard(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("unsaved"), caption, text});
        return saveChoices.isEmpty() ? SaveChoice::Cancel : saveChoices.dequeue();
    }
    void warn(QWidget*, const QString& caption, const QString& text) override {
        shown.append({QStringLiteral("warn"), caption, text});
    }
    void warnWithDetails(QWidget*, const QString& caption, const QString& text,
                         const QString& details) override {
        shown.append({QStringLiteral("warn"), caption, text, details});
    }
    bool confirmWithDetails(QWidget*, const QString& caption, const QString& text,
                            const QString& details) override {
        shown.append({QStringLiteral("confirm"), caption, text, details});
        return !confirmAnswers.isEmpty() && confirmAnswers.dequeue();
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
    bool askText(QWidget*, const QString& caption, const QString& prompt,
                 QString& answer) override {
        shown.append({QStringLiteral("ask"), caption, prompt});
        if (textAnswers.isEmpty())
            return false;
        const std::optional<QString> next = textAnswers.dequeue();
        if (!next)
            return false;
        answer = *next;
        return true;
    }
    bool askPassword(QWidget*, const QString& caption, const QString& prompt,
                     QByteArray& password) override {
        shown.append({QStringLiteral("password"), caption, prompt});
        if (passwordAnswers.isEmpty())
            return false;
        const std::optional<QByteArray> next = passwordAnswers.dequeue();
        if (!next)
            return false;
        // A copy of its own, as a dialog gives: the caller wipes it.
        password = QByteArray(next->constData(), next->size());
        return true;
    }
};

Q_DECLARE_METATYPE(Prompts::SaveChoice)
