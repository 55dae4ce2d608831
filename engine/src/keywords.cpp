// The engine's text services that ask the platform (the user's upper case
// and letters, the full path) and the keyword remover that USE relies on.
#include <cctype>

#include "kestrel/engine.h"

namespace kestrel {

std::string Engine::FullPathName(const std::string& path) { return Cut(platform_.FullPath(path), kMaxText); }

std::string Engine::UpperText(const std::string& text) {
  std::string upper = text;
  if (!upper.empty()) platform_.UpperBytes(upper.data(), upper.size());
  return upper;
}

bool Engine::StartsWithLetter(const std::string& text) {
  return !text.empty() && platform_.IsLetter(static_cast<uint8_t>(text[0]));
}

bool Engine::RemoveKeyword(const std::string& keyword, std::string& text) {
  bool removed = false;
  text = UpperText(text);
  std::string key = keyword;
  for (auto& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (!key.empty()) {
    int32_t k = 1;
    // No text holds more occurrences than characters; the bound ends the
    // search for keywords whose passes cannot move on (see NthPos).
    while (static_cast<size_t>(k) <= text.size()) {
      int32_t p = NthPos(k, key, text);
      if (p < 1) break;
      size_t after = static_cast<size_t>(p - 1) + key.size();
      bool partOfWord = false;
      if (after < text.size()) {
        char c = text[after];
        // The host's separator continues a path the way the backslash does.
        bool separator = c == '\\' || (HostPathStyle() == PathStyle::Posix && c == '/');
        partOfWord =
            std::isdigit(static_cast<unsigned char>(c)) || separator || c == '_' || StartsWithLetter(std::string(1, c));
      }
      if (partOfWord) {
        ++k;
      } else {
        text.erase(static_cast<size_t>(p - 1), key.size());
        removed = true;
      }
    }
  }
  text = TrimText(text);
  return removed;
}

}  // namespace kestrel
