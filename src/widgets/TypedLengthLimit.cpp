#include "widgets/TypedLengthLimit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

TypedLengthLimit::TypedLengthLimit(QLineEdit* edit, int maxLength)
    : QObject(edit), m_edit(edit), m_maxLength(maxLength) {
    edit->installEventFilter(this);
    // The context menu's paste cannot be watched; its own menu stays out.
    edit->setContextMenuPolicy(Qt::NoContextMenu);
}

int TypedLengthLimit::room() const {
    const int kept = int(m_edit->text().size() - m_edit->selectedText().size());
    return qMax(0, m_maxLength - kept);
}

bool TypedLengthLimit::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_edit || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Paste)) {
        QString pasted = QApplication::clipboard()->text();
        pasted.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        if (pasted.size() > room()) {
            if (!m_edit->isReadOnly())
                m_edit->insert(pasted.left(room()));
            return true;
        }
        return false;
    }
    const QString typed = key->text();
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    // A full edit takes no more characters; replacing a selection still works.
    if (printable && typed.size() > room())
        return true;
    return QObject::eventFilter(watched, event);
}
