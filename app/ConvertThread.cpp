#include "app/ConvertThread.h"

#include "conversion/Conversion.h"
#include "model/Globals.h"
#include "platform/Errors.h"

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

ConvertThread::ConvertThread(ConversionState& state, QTimer& convertTimer, QObject* parent)
    : QThread(parent), state_(state), timer_(convertTimer), body_(convertThread_Run) {
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
    QTimer* t = &timer_;
    QMetaObject::invokeMethod(
        t, [t] { t->start(); }, Qt::QueuedConnection);
}

void ConvertThread::run() {
    ScopedPacer installed(*pacer_);
    // Nothing may escape the worker's top: a failure is filed for the file and the
    // batch goes on; a stop for quitting leaves the state as it is.
    auto fail = [this](const std::string& cause) {
        state_.refuse(Globals::kConversionFailed() + cause, Globals::kAppTitle);
        state_.converted = true;
    };
    try {
        body_(state_, [this] { switchTimerOn(); });
    } catch (const ConversionCancelled&) {
    } catch (const std::exception& e) {
        fail(e.what());
    } catch (...) {
        fail("erreur inconnue");
    }
}

} // namespace qmk
