// The worker thread: runs the conversion of the current file on a thread of its
// own, with a pacer that sleeps for real and that quitting can stop.
#pragma once

#include "conversion/Conversion.h"
#include "platform/Worker.h"

#include <QThread>

#include <functional>
#include <memory>

class QTimer;

namespace qmk {

class ConvertThread : public QThread {
    Q_OBJECT
  public:
    // `convertTimer` lives on the interface thread; the body's request to switch it
    // on is carried there, queued.
    ConvertThread(ConversionHandoff& state, QTimer& convertTimer, QObject* parent = nullptr);
    // Stops the worker and waits for it.
    ~ConvertThread() override;

    // Starts the body on the worker thread. The previous body has ended by then
    // (the next file starts only once `converted` is set again), so waiting for
    // it costs nothing. Does nothing once the worker has been stopped.
    void Run();

    // For quitting: every later pause or yield of the body throws, so it stops at
    // its next one. Waits up to graceMs (-1: without limit); true when the body
    // has ended.
    bool stop(int graceMs = -1);
    bool stopped() const { return stopped_; }

    // Tests put a step of their own in place of the conversion; the body around it
    // (busy flag, timer, failures filed) stays the real one.
    void setBody(ConversionStep step) { step_ = std::move(step); }
    // Tests shorten the worker's pauses: from the next Run on, each lasts
    // ms / divisor (1 keeps them real).
    void setPauseDivisor(int divisor) { pauseDivisor_ = divisor < 1 ? 1 : divisor; }

  protected:
    void run() override;

  private:
    void switchTimerOn();

    ConversionHandoff& state_;
    QTimer& timer_;
    ConversionStep step_;
    std::unique_ptr<RealPacer> pacer_;
    bool stopped_ = false;
    int pauseDivisor_ = 1;
};

} // namespace qmk
