// A thread object in the toolkit's manner: created suspended, started by Resume, able to
// run a method on the user-interface thread, and released when its body has returned.
#pragma once

#include <functional>
#include <memory>

#include "platform/ui_thread.h"

namespace jumper {

// Owned through std::shared_ptr. A running thread holds a reference to its own object, so
// the object lives until the body has returned and then releases itself; other holders keep
// an ended object readable. The system thread is made by Resume: an object that is never
// resumed holds no thread at all.
class TThread : public std::enable_shared_from_this<TThread> {
public:
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    virtual ~TThread() = default;

    // Starts the body on a new thread; once started, changes nothing and reports nothing.
    // Raises "Thread creation error: ..." when the system cannot make the thread.
    virtual void Resume();
    bool Started() const noexcept { return started_; }

protected:
    explicit TThread(std::shared_ptr<platform::UiThread> ui_thread);

    // The thread body. An error that leaves it ends the thread without a message.
    virtual void Execute() = 0;
    // Runs on the user-interface thread once the body has returned.
    virtual void DoTerminate() {}

    // Runs method on the user-interface thread while this thread waits. An error raised there
    // is raised again here; so is a user-interface thread that takes no more calls.
    void Synchronize(const std::function<void()>& method);

private:
    void Run() noexcept;

    std::shared_ptr<platform::UiThread> ui_thread_;
    bool started_ = false;  // user-interface thread only
};

}  // namespace jumper
