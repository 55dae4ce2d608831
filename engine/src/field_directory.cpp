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
  // The index holds the first field of every name, so the first match wins.
  const TableDescriptor& d = *CurrentTable();
  auto it = d.FieldIndex.find(wanted);
  return it == d.FieldIndex.end() || it->second > d.FieldCount ? 0 : it->second;
}

}  // namespace kestrel
