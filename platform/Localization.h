// Localized texts: the text stored for a key in a language, else the default.
#pragma once

#include <string>

namespace qmk {

std::string GetLocalizedString(const std::string& key, const std::string& defaultText,
                               const std::string& language);
// Stores a text for a key in a language (an empty language is the user's own).
void StoreLocalizedString(const std::string& key, const std::string& language,
                          const std::string& text);
void ClearLocalizedStrings();

} // namespace qmk
