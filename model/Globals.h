// What several parts of the program share: its French texts, window placement,
// the header version value and the open dialog's start folder.
#pragma once

#include "platform/FolderItem.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qmk::Globals {

std::string kDropHere(const std::string& language = "");
std::string kVersionPro(const std::string& language = "");
std::string kUnknownFileType(const std::string& language = "");
std::string kDocSansTitre(const std::string& language = "");
std::string kImprSansTitre(const std::string& language = "");
std::string kStatusInit(const std::string& language = "");
std::string kStatusHeader(const std::string& language = "");
std::string kStatusCurrencies(const std::string& language = "");
std::string kStatusAccess(const std::string& language = "");
std::string kStatusAccounts(const std::string& language = "");
std::string kStatusEcr(const std::string& language = "");
std::string kStatusSave(const std::string& language = "");
std::string kConverted(const std::string& language = "");
// A conversion that failed on the way; the cause follows the text.
std::string kConversionFailed(const std::string& language = "");
// The journal count of a header is negative; the value follows the text.
std::string kNegativeEcrCount(const std::string& language = "");

// The main window's title, also the start value of the title hand-off.
inline constexpr const char* kAppTitle = "Quillmark Pro Converter";

struct FramePosition {
    int64_t left;
    int64_t top;
};
// Where a window of the given size goes on a screen of the given available size:
// centred across, a third of the free height above it (truncating divisions).
FramePosition CenterFrame(int64_t availableWidth, int64_t availableHeight, int64_t width,
                          int64_t height);

int64_t getDBVersion(bool v);

// The open dialog's start folder; none until the main window opens.
extern std::optional<FolderItem> lastOpenFolder;

} // namespace qmk::Globals
