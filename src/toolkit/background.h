#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <thread>

namespace bryndle {

// Workers started by runInBackground that have not yet handed over their result.
inline std::atomic<int>& backgroundTaskCount() {
    static std::atomic<int> count{0};
    return count;
}

// Runs work on a thread of its own and hands its result to done on the interface thread, unless
// the context object has been destroyed by then (the result is then dropped). work must not
// raise and must not touch widgets; it may outlive the context, so it holds copies of what it
// needs. The worker is detached: it ends on its own, within the time limits of its work.
template <class Result>
void runInBackground(QObject* context, std::function<Result()> work,
                     std::function<void(Result)> done) {
    QPointer<QObject> guard(context);
    ++backgroundTaskCount();
    std::thread([work = std::move(work), guard = std::move(guard), done = std::move(done)]() {
        Result result = work();
        if (QCoreApplication* application = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                application,
                [guard, done, result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        }
        --backgroundTaskCount();
    }).detach();
}

} // namespace bryndle
