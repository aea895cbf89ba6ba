#include "platform/Localization.h"

#include <map>
#include <mutex>
#include <utility>

namespace qmk {

namespace {
std::mutex storeMutex;
std::map<std::pair<std::string, std::string>, std::string>& store() {
    static std::map<std::pair<std::string, std::string>, std::string> s;
    return s;
}
} // namespace

std::string GetLocalizedString(const std::string& key, const std::string& defaultText,
                               const std::string& language) {
    std::lock_guard<std::mutex> lock(storeMutex);
    auto it = store().find({key, language});
    return it != store().end() ? it->second : defaultText;
}

void StoreLocalizedString(const std::string& key, const std::string& language,
                          const std::string& text) {
    std::lock_guard<std::mutex> lock(storeMutex);
    store()[{key, language}] = text;
}

void ClearLocalizedStrings() {
    std::lock_guard<std::mutex> lock(storeMutex);
    store().clear();
}

} // namespace qmk
