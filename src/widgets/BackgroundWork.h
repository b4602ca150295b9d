#pragma once

#include <QString>

#include <functional>

class QWidget;

// Work that can take a moment (a long invoice's PDF copy, signing) runs on a
// thread of its own while the window keeps repainting behind a modal progress
// box; the box shows only if the work lasts more than a moment, and clicks and
// keys wait until the work ends. Whatever the work throws is thrown again by
// run(), in the window's thread.
class BackgroundWork {
public:
    static void run(QWidget* parent, const QString& label, const std::function<void()>& work);
};
