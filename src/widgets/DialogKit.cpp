#include "widgets/DialogKit.h"

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

} // namespace DialogKit
