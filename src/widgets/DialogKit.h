#pragma once

#include <QFont>
#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>

class QDialog;
class QLineEdit;
class QToolButton;
class QWidget;

// The common look of the settings windows and the about window.
namespace DialogKit {

// Bold Tahoma (or the closest installed face) at the given size.
QFont windowFont(int pointSize = 8, bool bold = true);

// One of our own pictures from the about resources, by name ("tick", "exit"...).
QIcon picture(const QString& name);
QString resourcePath(const QString& relative); // ":/about/<relative>"

// A picture button without caption, with a hand cursor and an optional hint.
QToolButton* pictureButton(QWidget* parent, const QString& objectName, const QString& picture,
                           const QString& hint, QSize size);

// Fixed client size, title bar with a close box only.
void frameDialog(QDialog* dialog, int width, int height);

// Centre a window on the screen it is about to appear on.
void centreOnScreen(QWidget* window);

// Paints a widget's background white.
void makeWhite(QWidget* widget);

} // namespace DialogKit
