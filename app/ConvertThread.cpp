#include "app/ConvertThread.h"

#include <QDeadlineTimer>
#include <QTimer>

namespace qmk {

namespace {

// The real pacer with shorter pauses; stopping works as before.
class ShortenedPacer : public RealPacer {
  public:
    explicit ShortenedPacer(int divisor) : divisor_(divisor) {}
    void Sleep(int ms) override { RealPacer::Sleep(ms / divisor_); }

  private:
    int divisor_;
};

} // namespace

ConvertThread::ConvertThread(ConversionHandoff& state, QTimer& convertTimer, QObject* parent)
    : QThread(parent), state_(state), timer_(convertTimer), step_(conversion) {
    setObjectName("convertThread");
}

ConvertThread::~ConvertThread() {
    stop(-1);
}

void ConvertThread::Run() {
    if (stopped_)
        return;
    wait();
    pacer_ = pauseDivisor_ == 1 ? std::make_unique<RealPacer>()
                                : std::make_unique<ShortenedPacer>(pauseDivisor_);
    start(QThread::NormalPriority);
}

bool ConvertThread::stop(int graceMs) {
    stopped_ = true;
    if (pacer_)
        pacer_->Stop();
    if (!isRunning())
        return true;
    return wait(graceMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(graceMs));
}

void ConvertThread::switchTimerOn() {
    // Queued by name: the call is Qt's own event, so no object of ours is made on
    // this thread and read on the interface's.
    QMetaObject::invokeMethod(&timer_, "start", Qt::QueuedConnection);
}

void ConvertThread::run() {
    ScopedPacer installed(*pacer_);
    convertThread_Run(
        state_, [this] { switchTimerOn(); }, step_);
}

} // namespace qmk
