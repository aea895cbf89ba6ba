#include "model/ConversionState.h"

#include "platform/Errors.h"

namespace qmk {

ConversionState::ConversionState() {
    ResetRecords();
}

BinaryStream& ConversionState::stream() {
    if (!fileBS)
        throw ConversionError("aucun document ouvert");
    return *fileBS;
}

VLQmkaProVersion& ConversionState::header() {
    if (!qmkaVrs)
        throw ConversionError("aucun en-tête de document en cours");
    return *qmkaVrs;
}

void ConversionState::ResetRecords() {
    currencies.assign(32, DB_Format::CatRec{});
    acces.assign(6, DB_Format::AccessRec{});
    accounts.clear();
    ecritures.clear();
    cptInfo = DB_Format::EnrListRec{};
    ecrInfo = DB_Format::EnrListRec{};
}

std::optional<FolderItem> ConversionState::fileToConvert() const {
    std::lock_guard<std::mutex> lock(m_);
    return fileToConvert_;
}

void ConversionState::setFileToConvert(std::optional<FolderItem> f) {
    std::lock_guard<std::mutex> lock(m_);
    fileToConvert_ = std::move(f);
}

void ConversionState::newStatus(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_);
    status_ = text;
    statusChanged_ = true;
}

void ConversionState::setTitle(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_);
    windowTitle_ = text;
    statusChanged_ = true;
}

void ConversionState::refuse(const std::string& message, const std::string& title) {
    std::lock_guard<std::mutex> lock(m_);
    errorMsg_ = message;
    windowTitle_ = title;
}

void ConversionState::setNewFile(const FolderItem& f) {
    std::lock_guard<std::mutex> lock(m_);
    newFile_ = f;
}

std::optional<ConversionState::Pending> ConversionState::takeStatus() {
    std::lock_guard<std::mutex> lock(m_);
    if (!statusChanged_)
        return std::nullopt;
    statusChanged_ = false;
    return Pending{status_, windowTitle_};
}

std::string ConversionState::takeErrorMsg() {
    std::lock_guard<std::mutex> lock(m_);
    std::string e;
    e.swap(errorMsg_);
    return e;
}

std::optional<FolderItem> ConversionState::newFile() const {
    std::lock_guard<std::mutex> lock(m_);
    return newFile_;
}

std::string ConversionState::status() const {
    std::lock_guard<std::mutex> lock(m_);
    return status_;
}

std::string ConversionState::windowTitle() const {
    std::lock_guard<std::mutex> lock(m_);
    return windowTitle_;
}

std::string ConversionState::errorMsg() const {
    std::lock_guard<std::mutex> lock(m_);
    return errorMsg_;
}

bool ConversionState::statusChanged() const {
    std::lock_guard<std::mutex> lock(m_);
    return statusChanged_;
}

} // namespace qmk
