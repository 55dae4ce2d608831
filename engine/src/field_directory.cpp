// The field directory of the current table: count, name by number and number
// by name.
#include <algorithm>

#include "kestrel/engine.h"

namespace kestrel {

uint8_t Engine::FieldCount() {
  if (NoDatabaseInUse("FieldCount()")) return 0;
  return CurrentTable()->FieldCount;
}

void Engine::Field(uint8_t n, std::string& name) {
  name.clear();
  if (NoDatabaseInUse("Field()")) return;
  TableDescriptor& d = *CurrentTable();
  if (n >= 1 && n <= d.FieldCount) {
    name = d.Fields[n].Name;
    return;
  }
  SetError(engerr::InvalidParameter, "Invalid field number. [Field(" + std::to_string(n) + ")]");
}

std::string Engine::Field(uint8_t n) {
  std::string name;
  Field(n, name);
  return name;
}

uint8_t Engine::FieldNo(const std::string& name) {
  if (NoDatabaseInUse("FieldNo()")) return 0;
  // The first 10 characters, blanks (and control characters) cut from the
  // right, upper-cased: built in place, so a lookup allocates nothing.
  char key[10];
  size_t n = std::min<size_t>(name.size(), sizeof key);
  while (n > 0 && static_cast<unsigned char>(name[n - 1]) <= 32) --n;
  for (size_t i = 0; i < n; ++i) {
    const char c = name[i];
    key[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  const std::string_view wanted(key, n);
  // Names are mostly asked for in field order, so the field last found and
  // the one after it are tried before the index; either way the answer is
  // the first field of that name.
  TableDescriptor& d = *CurrentTable();
  for (uint8_t k : {d.FieldNoHint, static_cast<uint8_t>(d.FieldNoHint + 1)}) {
    if (k >= 1 && k <= d.FieldCount && k < d.FirstOfName.size() && d.Fields[k].Name == wanted) {
      d.FieldNoHint = k;
      return d.FirstOfName[k];
    }
  }
  auto it = d.FieldIndex.find(wanted);
  if (it == d.FieldIndex.end() || it->second > d.FieldCount) return 0;
  d.FieldNoHint = it->second;
  return it->second;
}

}  // namespace kestrel
