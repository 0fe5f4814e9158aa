#include "gui/common/BackgroundTask.h"

#include <QEventLoop>
#include <QThread>

#include <exception>
#include <memory>

namespace quillane::gui {

void BackgroundTask::runAndWait(const std::function<void(std::stop_token)>& work, Input input)
{
    std::stop_source stop;
    std::exception_ptr error;
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work(stop.get_token());
        } catch (...) {
            error = std::current_exception();
        }
    }));
    // Queued to this thread, so a worker that ends before exec() still ends the loop.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(input == Input::Held ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
    // The loop also ends when the application quits; the transfer must not
    // outlive the objects it writes to.
    if (!thread->isFinished()) {
        stop.request_stop();
    }
    thread->wait();
    if (error) {
        std::rethrow_exception(error);
    }
}

} // namespace quillane::gui
