// The state of the running conversion, shared by the reader, the writer and the
// conversion driver, and the hand-off of texts from the worker to the interface.
//
// The worker thread alone uses the document fields (version, qmkaVrs, fileBS, the
// record arrays and list information). The hand-off fields are shared with the
// interface thread: each post and each take happens under one lock, so the
// interface never sees a text without its flag, nor the worker a take half made.
#pragma once

#include "model/DB_Format.h"
#include "model/Globals.h"
#include "model/VLQmkaProVersion.h"
#include "platform/BinaryStream.h"
#include "platform/FolderItem.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qmk {

class ConversionState {
  public:
    ConversionState();

    // --- Document fields: worker thread only ------------------------------------
    int64_t version = 0;
    std::unique_ptr<VLQmkaProVersion> qmkaVrs;
    std::unique_ptr<BinaryStream> fileBS;
    std::vector<DB_Format::CatRec> currencies;   // 0..31
    std::vector<DB_Format::CptRecord> accounts;  // empty until a Plus / X read
    std::vector<DB_Format::EcrRecord> ecritures; // empty until a Plus / X read
    std::vector<DB_Format::AccessRec> acces;     // 0..5
    DB_Format::EnrListRec cptInfo;
    DB_Format::EnrListRec ecrInfo;

    // The open stream and the header record of the running conversion; a
    // ConversionError when there is none.
    BinaryStream& stream();
    VLQmkaProVersion& header();

    // Gives the record arrays and list information their initial values again,
    // so that a file never carries what an earlier file left in them.
    void ResetRecords();

    // --- Current file: set by the interface between files, read by the worker ---
    std::optional<FolderItem> fileToConvert() const;
    void setFileToConvert(std::optional<FolderItem> f);

    // --- Hand-off ----------------------------------------------------------------
    // Worker side.
    void newStatus(const std::string& text);
    void setTitle(const std::string& text);
    // A refusal or a failure: the message and the title, without raising the flag.
    void refuse(const std::string& message, const std::string& title);
    void setNewFile(const FolderItem& f);

    // Interface side: if a status or title is pending, clears the flag and
    // gives both current texts; otherwise nothing.
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

    // True when idle, false while a worker body runs (and after one that failed
    // without being caught).
    std::atomic<bool> converted{true};

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
