#pragma once

#include "common/AppError.h" // withFullStop

#include <QByteArray>
#include <QString>

class QWidget;

// The caption of the program's own messages and boxes.
inline const QString AppTitle = QStringLiteral("Orvane");

// Every question, message and file dialog of the program goes through this
// interface: the real one shows dialogs, tests give scripted answers.
class Prompts {
public:
    virtual ~Prompts() = default;

    // OK / Cancel with the question icon, Cancel as default; true for OK.
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Before unsaved changes would be lost: "Guardar", "Descartar" and
    // "Cancelar", question icon, Guardar as default, Escape cancels.
    enum class SaveChoice { Save, Discard, Cancel };
    virtual SaveChoice askSaveDiscard(QWidget* parent, const QString& caption,
                                      const QString& text) = 0;
    // OK only, exclamation icon.
    virtual void warn(QWidget* parent, const QString& caption, const QString& text) = 0;
    // As warn and confirm, with details the person opens when wanted
    // ("Mostrar los detalles…"): what only whoever supports the program needs.
    virtual void warnWithDetails(QWidget* parent, const QString& caption, const QString& text,
                                 const QString& details) {
        (void)details;
        warn(parent, caption, text);
    }
    virtual bool confirmWithDetails(QWidget* parent, const QString& caption, const QString& text,
                                    const QString& details) {
        (void)details;
        return confirm(parent, caption, text);
    }
    // OK only, information icon.
    virtual void inform(QWidget* parent, const QString& caption, const QString& text) = 0;
    // OK only, no icon.
    virtual void plain(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The application error box: caption "Orvane", stop icon.
    virtual void errorBox(QWidget* parent, const QString& text) = 0;
    // Empty text when cancelled. filters as in QFileDialog ("Name (*.ini);;...").
    virtual QString openFile(QWidget* parent, const QString& filters,
                             const QString& selectedFilter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& filters,
                             const QString& defaultSuffix) = 0;
    // As openFile and saveFile, starting at startPath: a folder, or a file to
    // propose. Scripted prompts may leave these alone.
    virtual QString openFileAt(QWidget* parent, const QString& filters,
                               const QString& selectedFilter, const QString& startPath) {
        (void)startPath;
        return openFile(parent, filters, selectedFilter);
    }
    virtual QString saveFileAt(QWidget* parent, const QString& filters,
                               const QString& defaultSuffix, const QString& startPath) {
        (void)startPath;
        return saveFile(parent, filters, defaultSuffix);
    }
    // One-line text prompt; false when cancelled.
    virtual bool askText(QWidget* parent, const QString& caption, const QString& prompt,
                         QString& answer) = 0;

    // A password box (what is typed is not shown); false when cancelled. The
    // answer is UTF-8 in a byte array the caller wipes after use; the box's
    // own copy is overwritten before it returns.
    virtual bool askPassword(QWidget* parent, const QString& caption, const QString& prompt,
                             QByteArray& password) = 0;

    // The instance the windows use (the Qt one unless a test replaced it).
    static Prompts& instance();
    static void setInstance(Prompts* prompts); // nullptr restores the Qt one
};
