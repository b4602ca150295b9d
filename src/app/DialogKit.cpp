#include "app/DialogKit.h"

#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QToolButton>

// The resources live in a static library; this pulls them in wherever the
// windows are linked.
static void initAboutResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    (void)done;
}

namespace DialogKit {

QFont windowFont(int pointSize, bool bold) {
    QFont font;
    // Tahoma where it exists; DejaVu Sans Condensed has nearly its metrics.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

QString resourcePath(const QString& relative) {
    initAboutResources();
    return QStringLiteral(":/about/") + relative;
}

QIcon picture(const QString& name) {
    return QIcon(resourcePath(QStringLiteral("icons/%1.svg").arg(name)));
}

QToolButton* pictureButton(QWidget* parent, const QString& objectName, const QString& pictureName,
                           const QString& hint, QSize size) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(picture(pictureName));
    button->setIconSize(
        QSize(qMin(size.width(), size.height()) - 10, qMin(size.width(), size.height()) - 10));
    button->setFixedSize(size);
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    if (!hint.isEmpty()) {
        button->setToolTip(hint);
        button->setAccessibleName(hint);
    }
    return button;
}

void frameDialog(QDialog* dialog, int width, int height) {
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
    dialog->setFont(windowFont());
    dialog->setModal(true);
}

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void makeWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TypingLimit::TypingLimit(QLineEdit* edit, int maxLength)
    : QObject(edit), m_edit(edit), m_maxLength(maxLength), m_current(edit->text()) {
    // Remember the text before each change, whoever made it.
    // The edit's own text, not the signal's: a change cut back inside
    // textEdited is still announced afterwards with the uncut text.
    connect(edit, &QLineEdit::textChanged, this, [this] {
        m_previous = m_current;
        m_current = m_edit->text();
    });
    connect(edit, &QLineEdit::textEdited, this, &TypingLimit::textEdited);
}

void TypingLimit::textEdited(const QString& text) {
    // Qt may report the edit before or after textChanged.
    const QString& before = (m_current == text) ? m_previous : m_current;
    const qsizetype room = qMax<qsizetype>(m_maxLength, before.size());
    if (text.size() <= room)
        return;
    // Drop what does not fit from the end of the inserted text, as a pasted
    // text that is too long is cut.
    const qsizetype excess = text.size() - room;
    const int cursor = m_edit->cursorPosition();
    const qsizetype start = qMax<qsizetype>(0, cursor - excess);
    QString kept = text;
    kept.remove(start, cursor - start);
    if (kept.size() > room) // the cursor was not where the text went in
        kept.truncate(room);
    m_edit->setText(kept);
    m_edit->setCursorPosition(int(qMin<qsizetype>(start, kept.size())));
}

} // namespace DialogKit
