#include "widgets/WheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QWheelEvent>

namespace {

// The box whose value the wheel would change: the widget itself or the box
// it is part of (the line edit inside an editable list), within its window.
QWidget* valueBox(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QComboBox*>(w))
            return w;
    }
    return nullptr;
}

bool hasKeyboard(const QWidget* box) {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == box || box->isAncestorOf(focus));
}

// The scrolled area that shows the box, if any.
QAbstractScrollArea* scrollingArea(QWidget* box) {
    for (QWidget* w = box->parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
        if (area && area->viewport() == w)
            return area;
    }
    return nullptr;
}

} // namespace

WheelGuard::WheelGuard(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

WheelGuard::~WheelGuard() {
    qApp->removeEventFilter(this);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    QWidget* box = valueBox(static_cast<QWidget*>(watched));
    if (!box || hasKeyboard(box))
        return false;
    if (QAbstractScrollArea* area = scrollingArea(box)) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        QWidget* viewport = area->viewport();
        const QPointF at = viewport->mapFromGlobal(wheel->globalPosition());
        QWheelEvent scroll(at, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                           wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                           wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(viewport, &scroll);
    }
    return true;
}
