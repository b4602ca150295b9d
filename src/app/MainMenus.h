#pragma once

#include <QList>
#include <functional>

class QAction;
class QMenu;
class QWidget;
class TForm2;

// The main window's menu bar, its shortcuts and the button bar under the
// invoice. The commands are one table in MainMenus.cpp: adding one is a line
// there and a handler in the window.
namespace MainMenus {

// Adds the four menus (Archivo, Factura, Configuración, Ayuda) to the
// window's menu bar, fills them in menus, and returns
// every action made, each also added to the window so its shortcut works
// wherever the focus is. Commands that work on the invoice on screen call
// commitPending first and do nothing when it refuses.
QList<QAction*> build(TForm2& window, QMenu* (&menus)[4],
                      const std::function<bool()>& commitPending);

// The bar of picture buttons, each showing one of the window's actions.
QWidget* buildButtonBar(QWidget* parent, const QWidget& window);

} // namespace MainMenus
