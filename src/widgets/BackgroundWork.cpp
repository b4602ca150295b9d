#include "widgets/BackgroundWork.h"

#include "widgets/Prompts.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>

#include <exception>
#include <memory>

void BackgroundWork::run(QWidget* parent, const QString& label, const std::function<void()>& work) {
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&work, &failure] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QProgressDialog progress(label, QString(), 0, 0, parent);
    progress.setWindowTitle(AppTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    // Repaints go on; clicks and keys wait for the work to end, so nothing
    // else starts meanwhile, even before the progress box shows.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    progress.reset();
    if (failure)
        std::rethrow_exception(failure);
}
