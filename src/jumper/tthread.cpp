#include "jumper/tthread.h"

#include <utility>

#include "platform/exception.h"

namespace jumper {

TThread::TThread(std::shared_ptr<platform::UiThread> ui_thread)
    : ui_thread_(std::move(ui_thread)) {}

void TThread::Resume() {
    if (started_) return;
    try {
        ui_thread_->StartThread([self = shared_from_this()] { self->Run(); });
    } catch (const platform::Exception& error) {
        throw platform::Exception(L"Thread creation error: " + error.Message());
    }
    started_ = true;
}

void TThread::Synchronize(const std::function<void()>& method) {
    platform::SyncCall call(method);
    if (!ui_thread_->Send(call)) throw platform::Exception(L"The main window is gone");
    call.RethrowError();
}

void TThread::Run() noexcept {
    try {
        Execute();
    } catch (...) {
        // Ends the thread silently.
    }
    try {
        Synchronize([this] { DoTerminate(); });
    } catch (...) {
        // The main window is gone: nobody is left to tell.
    }
}

}  // namespace jumper
