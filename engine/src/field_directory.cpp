// The field directory of the current table: count, name by number and number
// by name.
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
  SetError(220, "Invalid field number. [Field(" + std::to_string(n) + ")]");
}

std::string Engine::Field(uint8_t n) {
  std::string name;
  Field(n, name);
  return name;
}

uint8_t Engine::FieldNo(const std::string& name) {
  std::string wanted = Cut(name, 10);
  if (NoDatabaseInUse("FieldNo()")) return 0;
  wanted = Cut(TrimRightText(wanted), 10);
  for (auto& c : wanted) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
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
