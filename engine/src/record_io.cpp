// Reading a record into the record buffer with its OEM to ANSI translation,
// unpacking it into the application record layout, and blanking it.
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "kestrel/engine.h"

namespace kestrel {

namespace {

// The field's bytes as a view into the record buffer. Bytes that a malformed
// header places beyond the record read as blanks; they are assembled in
// `spill`, so the common case copies nothing.
std::string_view FieldBytes(const TableDescriptor& d, const FieldEntry& f, std::string& spill) {
  const size_t from = f.Offset;
  if (from + f.Length <= d.RecordBuffer.size()) {
    return {reinterpret_cast<const char*>(d.RecordBuffer.data()) + from, f.Length};
  }
  spill.assign(f.Length, ' ');
  for (size_t i = 0; i < f.Length && from + i < d.RecordBuffer.size(); ++i) {
    spill[i] = static_cast<char>(d.RecordBuffer[from + i]);
  }
  return spill;
}

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && static_cast<unsigned char>(t.front()) <= 32) t.remove_prefix(1);
  while (!t.empty() && static_cast<unsigned char>(t.back()) <= 32) t.remove_suffix(1);
  return t;
}

// Number text with an optional sign: integers for T = int32_t, decimals with a
// point ("5.", ".5" and exponents included) for T = double. Anything
// malformed, or a value outside T's range, reads as 0.
template <typename T, typename... Format>
T ParseNumber(std::string_view text, Format... format) {
  std::string_view t = Trimmed(text);
  if (!t.empty() && t.front() == '+') {
    t.remove_prefix(1);
    if (!t.empty() && t.front() == '-') return 0;
  }
  if (t.empty()) return 0;
  T value = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value, format...);
  if (ec != std::errc() || ptr != t.data() + t.size()) return 0;
  return value;
}

int32_t ParseInteger(std::string_view text) { return ParseNumber<int32_t>(text); }
double ParseReal(std::string_view text) { return ParseNumber<double>(text, std::chars_format::general); }

void PutInt32(uint8_t* p, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

// The 6-byte real: exponent + 129 in byte 0, a 39-bit fraction in bytes 1 to 5
// (least significant first) and the sign in the top bit of byte 5. Rounds to
// nearest, a half away from zero; too small gives zero. Values beyond the
// format's range have no representation and give zero too.
void EncodeReal48(double value, uint8_t out[6]) {
  std::memset(out, 0, 6);
  if (value == 0 || !std::isfinite(value)) return;
  const bool negative = value < 0;
  int e = 0;
  double m = std::frexp(std::fabs(value), &e);   // m in [0.5, 1)
  int exponent = e + 128;                        // (2m) * 2^(e-1), biased by 129
  double scaled = (2 * m - 1) * 549755813888.0;  // 2^39
  auto fraction = static_cast<uint64_t>(std::floor(scaled + 0.5));
  if (fraction >= (uint64_t{1} << 39)) {
    fraction = 0;
    ++exponent;
  }
  if (exponent < 1) return;
  if (exponent > 255) return;
  out[0] = static_cast<uint8_t>(exponent);
  for (int i = 0; i < 5; ++i) out[1 + i] = static_cast<uint8_t>(fraction >> (8 * i));
  if (negative) out[5] |= 0x80;
}

void Engine::GetDbfRecord(TableDescriptor& d, int32_t n) {
  if (n > d.RecordCount || n < 1) {
    SetError(engerr::BeyondRange, "Invalid record number = " + Cut(std::to_string(n), 6) + " (" + d.FileName + ")  [GetDbfRecord]");
    return;
  }
  d.AtEof = false;
  d.AtBof = false;
  size_t got = 0;
  bool seekFailed = false;
  ErrorCode = ReadAt(d, d.RecordPosition(n), d.RecordBuffer.data(), d.RecordLength, &got, &seekFailed);
  if (seekFailed) {
    d.AtEof = true;
  } else if (ErrorCode == 0 && got < d.RecordLength) {
    ErrorCode = engerr::UnexpectedEnd;
  }
  if (ErrorCode == 0) d.CurrentRecord = n;
  if (ErrorCode != 0) {
    SetError(ErrorCode, "File:  " + d.FileName + "  [GetDbfRecord]");
    return;
  }
  if (d.OemTranslate && d.RecordLength > 1) platform_.OemToAnsi(d.RecordBuffer.data() + 1, d.RecordLength - 1u);
}

void Engine::LoadAppRecord() {
  TableDescriptor* d = CurrentTable();
  if (d && !d->IsVirtual) UnpackRecord(*d, d->AppRecord, d->AppRecordSize);
}

void Engine::UnpackRecord(const TableDescriptor& d, uint8_t* dest, size_t destSize) {
  if (dest == nullptr) return;
  // Every slot is written through here, so a field directory whose slots add
  // up to more than the buffer can never write past it.
  size_t at = 0;
  auto put = [&](const uint8_t* bytes, size_t n) {
    size_t fit = at < destSize ? std::min(n, destSize - at) : 0;
    if (fit) std::memcpy(dest + at, bytes, fit);
  };
  uint8_t deleted = !d.RecordBuffer.empty() && d.RecordBuffer[0] == '*' ? 1 : 0;
  put(&deleted, 1);
  at += 1;
  std::string spill;
  for (size_t k = 1; k < d.Fields.size(); ++k) {
    const FieldEntry& f = d.Fields[k];
    const std::string_view text = FieldBytes(d, f, spill);
    switch (f.Type) {
      case 'C': {
        uint8_t len = f.Length;
        put(&len, 1);
        at += 1;
        put(reinterpret_cast<const uint8_t*>(text.data()), f.Length);
        at += f.Length;
        break;
      }
      case 'D': {
        // YYYYMMDD; the text shows the last two digits of the year. A field
        // shorter than 8 reads its missing digits as blanks.
        std::string digits(text.substr(0, 8));
        digits.resize(8, ' ');
        std::string yy = digits.substr(2, 2), mm = digits.substr(4, 2), dd = digits.substr(6, 2);
        std::string shown;
        switch (DateFormat) {
          case 0: shown = mm + "/" + dd + "/" + yy; break;
          case 1: shown = yy + "." + mm + "." + dd; break;
          case 2: shown = dd + "/" + mm + "/" + yy; break;
          case 3: shown = dd + "-" + mm + "-" + yy; break;
          default: shown = dd + "." + mm + "." + yy; break;
        }
        // The slot of a field shorter than 6 cannot hold the whole text; the
        // length byte then counts what fits, so that a reader of the string
        // stays inside the slot (and inside the buffer for a last field).
        const size_t slotSize = static_cast<size_t>(f.Length) + 3;
        const size_t shownLength = std::min<size_t>(8, slotSize - 1);
        uint8_t slot[9];
        slot[0] = static_cast<uint8_t>(shownLength);
        std::memcpy(slot + 1, shown.data(), 8);
        put(slot, 1 + shownLength);
        at += slotSize;
        break;
      }
      case 'L': {
        char c = text.empty() ? ' ' : text[0];
        uint8_t v = (c == 'T' || c == 't' || c == 'Y' || c == 'y') ? 1 : 0;
        put(&v, 1);
        at += 1;
        break;
      }
      case 'M': {
        uint8_t v[4];
        PutInt32(v, ParseInteger(text));
        put(v, 4);
        at += 4;
        break;
      }
      case 'N':
      case 'F': {
        if (f.Decimals == 0) {
          uint8_t v[4];
          PutInt32(v, ParseInteger(text));
          put(v, 4);
          at += 4;
        } else {
          uint8_t v[6];
          EncodeReal48(ParseReal(text), v);
          put(v, 6);
          at += 6;
        }
        break;
      }
      default: break;
    }
  }
}

void Engine::ClearRecord() {
  if (NoDatabaseInUse("ClearRecord")) return;
  TableDescriptor* d = CurrentTable();
  std::fill(d->RecordBuffer.begin(), d->RecordBuffer.end(), static_cast<uint8_t>(' '));
  UnpackRecord(*d, d->AppRecord, d->AppRecordSize);
}

}  // namespace kestrel
