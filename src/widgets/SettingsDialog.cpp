#include "widgets/SettingsDialog.h"

#include "widgets/DialogKit.h"
#include "widgets/ErrorGuard.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QShowEvent>

void SettingsDialog::onClicked(QAbstractButton* button, std::function<void()> handler) {
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = std::move(handler)] { runGuarded(this, handler); });
}

void SettingsDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the window coming back from minimised is not a new showing
    if (!m_centred) {
        DialogKit::centreOnScreen(this);
        m_centred = true;
    }
    runGuarded(this, [this] { shown(); });
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    // Escape would close the window and drop what was typed.
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}
