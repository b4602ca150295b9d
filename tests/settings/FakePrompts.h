#pragma once

#include "widgets/Prompts.h"

#include <QQueue>
#include <QStringList>
#include <optional>

// Answers every question from a script and records what was shown. Install
// it for the life of a test with a ScopedPrompts.
class FakePrompts final : public Prompts {
public:
    // One answer per askText call; std::nullopt cancels.
    QQueue<std::optional<QString>> textAnswers;
    // One path per openFile call; an empty text cancels.
    QQueue<QString> openAnswers;

    QStringList errors;      // texts of the error box
    QStringList messages;    // every other message box, "caption|text"
    QStringList askedTexts;  // "caption|prompt" of each askText
    QStringList openFilters; // filters of each openFile

    bool confirm(QWidget*, const QString& caption, const QString& text) override {
        messages.append(caption + u'|' + text);
        return false;
    }
    void warn(QWidget*, const QString& caption, const QString& text) override {
        messages.append(caption + u'|' + text);
    }
    void inform(QWidget*, const QString& caption, const QString& text) override {
        messages.append(caption + u'|' + text);
    }
    void plain(QWidget*, const QString& caption, const QString& text) override {
        messages.append(caption + u'|' + text);
    }
    void errorBox(QWidget*, const QString& text) override { errors.append(text); }
    QString openFile(QWidget*, const QString& filters, const QString&) override {
        openFilters.append(filters);
        return openAnswers.isEmpty() ? QString() : openAnswers.dequeue();
    }
    QString saveFile(QWidget*, const QString&, const QString&) override { return {}; }
    bool askText(QWidget*, const QString& caption, const QString& prompt,
                 QString& answer) override {
        askedTexts.append(caption + u'|' + prompt);
        if (textAnswers.isEmpty())
            return false;
        const std::optional<QString> next = textAnswers.dequeue();
        if (!next)
            return false;
        answer = *next;
        return true;
    }
};

class ScopedPrompts {
public:
    explicit ScopedPrompts(FakePrompts& prompts) { Prompts::setInstance(&prompts); }
    ~ScopedPrompts() { Prompts::setInstance(nullptr); }
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;
};
