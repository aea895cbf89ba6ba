// The program: everything is RunApplication's, but for ending the process when the
// worker would hold up a quit.
#include "app/Startup.h"
#include "platform/InFlight.h"

#include <cstdlib>

int main(int argc, char** argv) {
    return qmk::RunApplication(argc, argv, [](int code) {
        // The worker has not reached its next pause in time: end the process as it
        // is, and the hidden file it may be writing with it.
        qmk::RemoveInFlightTemporary();
        std::_Exit(code);
    });
}
