// The worker's pauses and its once-per-pass yields, behind one small interface.
//
// Code on the document road calls Pause(ms) and YieldNow(); they go to the
// pacer installed on the calling thread. The real pacer sleeps and can be
// stopped from another thread, so the program can quit mid-conversion: once
// stopped, every pause and yield throws ConversionCancelled. Tests install a
// pacer that returns at once and records what was asked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace qmk {

class Pacer {
  public:
    virtual ~Pacer() = default;
    virtual void Sleep(int ms) = 0;
    virtual void Yield() = 0;
};

// Sleeps for real; Stop wakes a sleeping worker at once.
class RealPacer : public Pacer {
  public:
    void Sleep(int ms) override;
    void Yield() override;
    void Stop();
    bool Stopped() const { return stopped_.load(); }

  private:
    std::atomic<bool> stopped_{false};
    std::mutex m_;
    std::condition_variable cv_;
};

// Returns at once and records every pause (in ms) and the number of yields.
class InstantPacer : public Pacer {
  public:
    void Sleep(int ms) override;
    void Yield() override { yields.fetch_add(1); }
    std::vector<int> pauses() const;
    std::atomic<long long> yields{0};

  private:
    mutable std::mutex m_;
    std::vector<int> pauses_;
};

// Installs a pacer on the current thread for the lifetime of the guard.
class ScopedPacer {
  public:
    explicit ScopedPacer(Pacer& p);
    ~ScopedPacer();
    ScopedPacer(const ScopedPacer&) = delete;
    ScopedPacer& operator=(const ScopedPacer&) = delete;

  private:
    Pacer* previous_;
};

// The worker pauses itself for ms milliseconds.
void Pause(int ms);
// The worker gives way (end of a loop pass): where a stop is seen.
void YieldNow();

} // namespace qmk
