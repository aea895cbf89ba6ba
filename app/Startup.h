// The run of the program, from the first thing main does to the exit code.
#pragma once

#include <QByteArrayList>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QProcessEnvironment;

namespace qmk {

// The steps of start-up, in the order a run takes them.
enum class StartupStep {
    TerminationSignals, // taken from here on
    Framework,          // the application object of the toolkit
    DropTypes,          // the drop type set is registered
    ProTypes,           // then the Pro document type set
    ApplicationObject,  // App, with its version data
    MenuBar,            // the one menu bar, built
    Instance,           // handed over to a running program (the run ends), or listening
    EventLoop,          // about to run; its first event opens the main window
};

// Runs the program: the termination signals first, then the start-up steps in
// their order, the event loop, and the exit code of the quit that ended it. A
// worker that does not stop at its next pause once the loop has ended must not
// hold the quit: forcedExit is then called with the code, to end the process.
int RunApplication(int argc, char** argv, const std::function<void(int code)>& forcedExit);

// A launch that a termination signal ended while it handed its documents over:
// says so on the standard error output; the exit status is 128 + the signal's
// number, as for a process the signal killed.
int HandOverInterrupted(const QByteArrayList& documents);

// Tests: watch is called as each start-up step is done. None by default.
void WatchStartup(std::function<void(StartupStep)> watch);
void StartupStepDone(StartupStep step);

// The arguments of a run as the user gave them, as bytes. Every argument is a
// document, but for a first "--", which ends the options, and the toolkit's own
// options before it. The toolkit sees only the program's name and the arguments
// before "--" that name no file, and takes its options out of them.
class CommandLine {
  public:
    CommandLine(int argc, char** argv);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // For the toolkit; they live as long as this object does.
    int& toolkitArgc() { return toolkitArgc_; }
    char** toolkitArgv() { return toolkitArgv_.data(); }

    // In the order given: the arguments that name a file, those after "--", and
    // those the toolkit has not taken.
    QByteArrayList documents() const;

    // Starts the toolkit on this platform, as its own "-platform" option would;
    // empty changes nothing. Before the toolkit has seen the arguments.
    void setToolkitPlatform(const QByteArray& platform);

  private:
    std::string program_;
    std::vector<std::string> args_;
    std::vector<bool> document_; // certainly a document, whatever the toolkit takes
    int end_ = -1;               // the index of the first "--", if any
    std::vector<char*> toolkitArgv_;
    int toolkitArgc_ = 0;
    std::array<std::string, 2> platformOption_;
};

// The toolkit's platform for a run, from its environment and the arguments the
// toolkit sees (toolkitArgv); empty leaves the choice to the toolkit. A Wayland
// client cannot place its top-level windows, so the side panels could not sit
// against the main window: in a Wayland session that also offers an X display
// (XWayland), the windows go through X11. A platform the user chose stands.
QByteArray ToolkitPlatform(const QProcessEnvironment& environment, int argc,
                           const char* const* argv);

} // namespace qmk
