// The hand-off between the worker and the interface: the current file, the
// status and title texts with their flag, the error message, the last written
// document and the busy flag `converted`.
//
// Both threads use it, so every access is under one lock (or atomic): the
// interface never sees a text without its flag, nor the worker a take half made.
// The worker's document itself is not here: it belongs to the worker body alone.
#pragma once

#include "model/Globals.h"
#include "platform/FolderItem.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

namespace qmk {

// How the reader and the writer show their progress: a status text and a window title.
class StatusPoster {
  public:
    virtual ~StatusPoster() = default;
    virtual void newStatus(const std::string& text) = 0;
    virtual void setTitle(const std::string& text) = 0;
};

class ConversionHandoff : public StatusPoster {
  public:
    ConversionHandoff() = default;
    ConversionHandoff(const ConversionHandoff&) = delete;
    ConversionHandoff& operator=(const ConversionHandoff&) = delete;

    // --- Current file ------------------------------------------------------------
    std::optional<FolderItem> fileToConvert() const;
    // Refused (false, nothing changes) while a worker body runs: a conversion
    // works on the file it started with, from its reading to its output's name.
    bool setFileToConvert(std::optional<FolderItem> f);

    // --- Worker side -------------------------------------------------------------
    void newStatus(const std::string& text) override;
    void setTitle(const std::string& text) override;
    // A refusal or a failure: the message and the title, without raising the flag.
    void refuse(const std::string& message, const std::string& title);
    void setNewFile(const FolderItem& f);

    // --- Interface side ----------------------------------------------------------
    // If a status or title is pending, clears the flag and gives both current
    // texts; otherwise nothing.
    struct Pending {
        std::string status;
        std::string windowTitle;
    };
    std::optional<Pending> takeStatus();
    // The message of the finished file, emptied by the take.
    std::string takeErrorMsg();
    std::optional<FolderItem> newFile() const;

    // Snapshots, for either side.
    std::string status() const;
    std::string windowTitle() const;
    std::string errorMsg() const;
    bool statusChanged() const;

  private:
    std::atomic<bool> converted_{true};

  public:
    // True when idle, false while a worker body runs (and after one stopped for
    // quitting). Read-only here: only a BodyRun changes it.
    const std::atomic<bool>& converted{converted_};

    // A worker body's hold on the hand-off, from its start to its end: while it
    // exists `converted` is false and the current file cannot change.
    class BodyRun {
      public:
        BodyRun(BodyRun&& o) noexcept : h_(o.h_), file_(std::move(o.file_)) { o.h_ = nullptr; }
        BodyRun(const BodyRun&) = delete;
        BodyRun& operator=(const BodyRun&) = delete;
        BodyRun& operator=(BodyRun&&) = delete;
        // A body that never finishes (stopped for quitting) keeps `converted` false.
        ~BodyRun() = default;

        // The current file as the body started: the file this run converts.
        const std::optional<FolderItem>& file() const { return file_; }
        // The body has ended: `converted` is true again.
        void finish();

      private:
        friend class ConversionHandoff;
        BodyRun(ConversionHandoff& h, std::optional<FolderItem> file)
            : h_(&h), file_(std::move(file)) {}
        ConversionHandoff* h_;
        std::optional<FolderItem> file_;
    };
    // Tests and clears `converted` in one step: none while another body runs.
    std::optional<BodyRun> beginBody();

  private:
    mutable std::mutex m_;
    std::optional<FolderItem> fileToConvert_;
    std::string status_;
    bool statusChanged_ = false;
    std::optional<FolderItem> newFile_;
    std::string windowTitle_ = Globals::kAppTitle;
    std::string errorMsg_;
};

} // namespace qmk
