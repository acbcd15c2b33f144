#include "Clock.h"

#include <coroutine>

namespace {

struct ClockSleep {
    Clock* clock;
    int ms;

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) {
        clock->singleShot(ms, nullptr, [waiting] { waiting.resume(); });
    }
    void await_resume() const noexcept {}
};

} // namespace

QCoro::Task<void> Clock::sleep(int ms) {
    co_await ClockSleep{this, ms};
}
