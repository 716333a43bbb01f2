// How a worker thread runs a call on the user-interface thread and waits for it.
#pragma once

#include <exception>
#include <functional>
#include <utility>

namespace platform {

// One call to run on the user-interface thread. An error it raises is kept, to be raised
// again on the calling thread.
class SyncCall {
public:
    explicit SyncCall(std::function<void()> method) : method_(std::move(method)) {}

    void Run() noexcept {
        try {
            method_();
        } catch (...) {
            error_ = std::current_exception();
        }
    }
    void RethrowError() const {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::function<void()> method_;
    std::exception_ptr error_;
};

// The user-interface thread as the worker threads see it: it starts them, and runs their
// calls while they wait.
class UiThread {
public:
    virtual ~UiThread() = default;
    // Runs body on a new thread. Raises platform::Exception with the system's message for
    // the failure when the system cannot make one.
    virtual void StartThread(std::function<void()> body) = 0;
    // Runs call on the user-interface thread while the caller waits. Returns false, with the
    // call not run, when the user-interface thread no longer takes calls.
    virtual bool Send(SyncCall& call) = 0;

protected:
    UiThread() = default;
    UiThread(const UiThread&) = default;
    UiThread& operator=(const UiThread&) = default;
};

}  // namespace platform
