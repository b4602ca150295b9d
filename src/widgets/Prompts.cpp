#include "widgets/Prompts.h"

#include "widgets/ListMessageBox.h"
#include "widgets/SpanishDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox::StandardButton messageBox(QWidget* parent, QMessageBox::Icon icon,
                                       const QString& caption, const QString& text,
                                       QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton,
                                       const QString& details = QString()) {
    // A long list would run off a small screen, buttons and all.
    if (ListMessageBox::needed(text)) {
        ListMessageBox box(icon, caption, text, buttons, defaultButton, parent);
        box.setDetails(details);
        return box.ask();
    }
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.setDetailedText(details);
    // Paths and addresses in a message can be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// A folder opens the dialog there; a file also proposes its name.
void startAt(QFileDialog& dialog, const QString& startPath) {
    if (startPath.isEmpty())
        return;
    const QFileInfo info(startPath);
    if (info.isDir()) {
        dialog.setDirectory(startPath);
    } else {
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
}

class QtPrompts final : public Prompts {
public:
    bool confirm(QWidget* parent, const QString& caption, const QString& text) override {
        return messageBox(parent, QMessageBox::Question, caption, text,
                          QMessageBox::Ok | QMessageBox::Cancel,
                          QMessageBox::Cancel) == QMessageBox::Ok;
    }
    SaveChoice askSaveDiscard(QWidget* parent, const QString& caption,
                              const QString& text) override {
        QMessageBox box(QMessageBox::Question, caption, text,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
        // Our own words, whatever translation Qt has for its buttons.
        box.button(QMessageBox::Save)->setText(QStringLiteral("&Guardar"));
        box.button(QMessageBox::Discard)->setText(QStringLiteral("&Descartar"));
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("Cancelar"));
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
        box.exec();
        const auto pressed = box.standardButton(box.clickedButton());
        return pressed == QMessageBox::Save      ? SaveChoice::Save
               : pressed == QMessageBox::Discard ? SaveChoice::Discard
                                                 : SaveChoice::Cancel;
    }
    void warn(QWidget* parent, const QString& caption, const QString& text) override {
        messageBox(parent, QMessageBox::Warning, caption, text, QMessageBox::Ok, QMessageBox::Ok);
    }
    void warnWithDetails(QWidget* parent, const QString& caption, const QString& text,
                         const QString& details) override {
        messageBox(parent, QMessageBox::Warning, caption, text, QMessageBox::Ok, QMessageBox::Ok,
                   details);
    }
    bool confirmWithDetails(QWidget* parent, const QString& caption, const QString& text,
                            const QString& details) override {
        return messageBox(parent, QMessageBox::Question, caption, text,
                          QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
                          details) == QMessageBox::Ok;
    }
    void inform(QWidget* parent, const QString& caption, const QString& text) override {
        messageBox(parent, QMessageBox::Information, caption, text, QMessageBox::Ok,
                   QMessageBox::Ok);
    }
    void plain(QWidget* parent, const QString& caption, const QString& text) override {
        messageBox(parent, QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
    }
    void errorBox(QWidget* parent, const QString& text) override {
        messageBox(parent, QMessageBox::Critical, AppTitle, text, QMessageBox::Ok, QMessageBox::Ok);
    }
    QString openFile(QWidget* parent, const QString& filters,
                     const QString& selectedFilter) override {
        return openFileAt(parent, filters, selectedFilter, QString());
    }
    QString openFileAt(QWidget* parent, const QString& filters, const QString& selectedFilter,
                       const QString& startPath) override {
        QFileDialog dialog(parent);
        SpanishDialogs::prepare(dialog);
        startAt(dialog, startPath);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(filters.split(QStringLiteral(";;")));
        if (!selectedFilter.isEmpty())
            dialog.selectNameFilter(selectedFilter);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
    QString saveFile(QWidget* parent, const QString& filters,
                     const QString& defaultSuffix) override {
        return saveFileAt(parent, filters, defaultSuffix, QString());
    }
    QString saveFileAt(QWidget* parent, const QString& filters, const QString& defaultSuffix,
                       const QString& startPath) override {
        QFileDialog dialog(parent);
        SpanishDialogs::prepare(dialog);
        startAt(dialog, startPath);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters.split(QStringLiteral(";;")));
        dialog.setDefaultSuffix(defaultSuffix);
        // Replacing an existing invoice is the normal case; do not ask.
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
    bool askText(QWidget* parent, const QString& caption, const QString& prompt,
                 QString& answer) override {
        bool ok = false;
        const QString text =
            QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, QString(), &ok);
        if (ok)
            answer = text;
        return ok;
    }
    bool askPassword(QWidget* parent, const QString& caption, const QString& prompt,
                     QByteArray& password) override {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(caption);
        dialog.setLabelText(prompt);
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText |
                                   Qt::ImhSensitiveData);
        const bool ok = dialog.exec() == QDialog::Accepted;
        QString typed = dialog.textValue();
        if (ok)
            password = typed.toUtf8();
        // Overwrite what can be reached: this copy and the box's own.
        typed.fill(QChar(u'\0'));
        dialog.setTextValue(QString(typed.size(), QChar(u'\0')));
        dialog.setTextValue(QString());
        return ok;
    }
};

QtPrompts& qtPrompts() {
    static QtPrompts prompts;
    return prompts;
}

Prompts* g_current = nullptr;

} // namespace

Prompts& Prompts::instance() {
    return g_current ? *g_current : qtPrompts();
}

void Prompts::setInstance(Prompts* prompts) {
    g_current = prompts;
}
