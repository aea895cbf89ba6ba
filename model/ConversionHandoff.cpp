#include "model/ConversionHandoff.h"

namespace qmk {

std::optional<FolderItem> ConversionHandoff::fileToConvert() const {
    std::lock_guard<std::mutex> lock(m_);
    return fileToConvert_;
}

bool ConversionHandoff::setFileToConvert(std::optional<FolderItem> f) {
    std::lock_guard<std::mutex> lock(m_);
    if (!converted_.load())
        return false;
    fileToConvert_ = std::move(f);
    return true;
}

std::optional<ConversionHandoff::BodyRun> ConversionHandoff::beginBody() {
    std::lock_guard<std::mutex> lock(m_);
    if (!converted_.load())
        return std::nullopt;
    converted_.store(false);
    return BodyRun(*this, fileToConvert_);
}

void ConversionHandoff::BodyRun::finish() {
    if (!h_)
        return;
    std::lock_guard<std::mutex> lock(h_->m_);
    h_->converted_.store(true);
    h_ = nullptr;
}

void ConversionHandoff::newStatus(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_);
    status_ = text;
    statusChanged_ = true;
}

void ConversionHandoff::setTitle(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_);
    windowTitle_ = text;
    statusChanged_ = true;
}

void ConversionHandoff::refuse(const std::string& message, const std::string& title) {
    std::lock_guard<std::mutex> lock(m_);
    errorMsg_ = message;
    windowTitle_ = title;
}

void ConversionHandoff::setNewFile(const FolderItem& f) {
    std::lock_guard<std::mutex> lock(m_);
    newFile_ = f;
}

std::optional<ConversionHandoff::Pending> ConversionHandoff::takeStatus() {
    std::lock_guard<std::mutex> lock(m_);
    if (!statusChanged_)
        return std::nullopt;
    statusChanged_ = false;
    return Pending{status_, windowTitle_};
}

std::string ConversionHandoff::takeErrorMsg() {
    std::lock_guard<std::mutex> lock(m_);
    std::string e;
    e.swap(errorMsg_);
    return e;
}

std::optional<FolderItem> ConversionHandoff::newFile() const {
    std::lock_guard<std::mutex> lock(m_);
    return newFile_;
}

std::string ConversionHandoff::status() const {
    std::lock_guard<std::mutex> lock(m_);
    return status_;
}

std::string ConversionHandoff::windowTitle() const {
    std::lock_guard<std::mutex> lock(m_);
    return windowTitle_;
}

std::string ConversionHandoff::errorMsg() const {
    std::lock_guard<std::mutex> lock(m_);
    return errorMsg_;
}

bool ConversionHandoff::statusChanged() const {
    std::lock_guard<std::mutex> lock(m_);
    return statusChanged_;
}

} // namespace qmk
