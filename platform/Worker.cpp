#include "platform/Worker.h"

#include "platform/Errors.h"

#include <chrono>

namespace qmk {

namespace {
RealPacer& defaultPacer() {
    static RealPacer p;
    return p;
}
thread_local Pacer* current = nullptr;
Pacer& active() {
    return current ? *current : defaultPacer();
}
} // namespace

void RealPacer::Sleep(int ms) {
    std::unique_lock<std::mutex> lock(m_);
    if (cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_.load(); }))
        throw ConversionCancelled();
}

// The worker is a preemptive thread: the interface runs beside it without being
// let in, so a give-way is only the point where a stop is seen. A system call
// here would cost a large document tens of milliseconds for nothing.
void RealPacer::Yield() {
    if (stopped_.load())
        throw ConversionCancelled();
}

void RealPacer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_);
        stopped_.store(true);
    }
    cv_.notify_all();
}

void InstantPacer::Sleep(int ms) {
    std::lock_guard<std::mutex> lock(m_);
    pauses_.push_back(ms);
}

std::vector<int> InstantPacer::pauses() const {
    std::lock_guard<std::mutex> lock(m_);
    return pauses_;
}

ScopedPacer::ScopedPacer(Pacer& p) : previous_(current) {
    current = &p;
}
ScopedPacer::~ScopedPacer() {
    current = previous_;
}

void Pause(int ms) {
    active().Sleep(ms);
}
void YieldNow() {
    active().Yield();
}

} // namespace qmk
