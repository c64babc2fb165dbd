// MoxFilterBase64, MoxUnfilterBase64: table-driven base64 (RFC 2045 6.8, RFC 4648 4).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <moxxml/external/base64.h>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// RFC 2045 6.8: encoded lines are at most 76 characters; 57 input bytes fill one.
constexpr size_t kLineChars = 76;
constexpr size_t kLineBytes = 57;
// Output is gathered in blocks of this size before it is handed on.
constexpr size_t kBlock = 16384;

// Two output characters for every 12-bit value, so a 3-byte group takes two look-ups.
struct PairTable {
  char pair[4096][2];
};

constexpr PairTable MakePairTable() {
  PairTable table{};
  for (int v = 0; v < 4096; ++v) {
    table.pair[v][0] = kAlphabet[v >> 6];
    table.pair[v][1] = kAlphabet[v & 63];
  }
  return table;
}

constexpr PairTable kPairs = MakePairTable();

// Decoding tables: the sextet of a character pre-shifted to its place in a 24-bit group, or
// kInvalid for anything outside the alphabet, so one OR of four look-ups tests a whole group.
constexpr uint32_t kInvalid = 0x01000000;

struct DecodeTables {
  uint32_t shifted[4][256];
};

constexpr DecodeTables MakeDecodeTables() {
  DecodeTables tables{};
  for (int place = 0; place < 4; ++place) {
    for (int c = 0; c < 256; ++c) tables.shifted[place][c] = kInvalid;
    for (uint32_t v = 0; v < 64; ++v) {
      tables.shifted[place][static_cast<unsigned char>(kAlphabet[v])] = v << (18 - 6 * place);
    }
  }
  return tables;
}

constexpr DecodeTables kDecode = MakeDecodeTables();

inline void EncodeGroup(const unsigned char* in, char* out) {
  const uint32_t v = (uint32_t{in[0]} << 16) | (uint32_t{in[1]} << 8) | in[2];
  std::memcpy(out, kPairs.pair[v >> 12], 2);
  std::memcpy(out + 2, kPairs.pair[v & 0xfff], 2);
}

// Two groups from one 8-byte load (of which 6 bytes are used) and four pair look-ups.
inline void EncodeTwoGroups(const unsigned char* in, char* out) {
  uint64_t v;
  std::memcpy(&v, in, 8);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  v >>= 16;
  std::memcpy(out, kPairs.pair[(v >> 36) & 0xfff], 2);
  std::memcpy(out + 2, kPairs.pair[(v >> 24) & 0xfff], 2);
  std::memcpy(out + 4, kPairs.pair[(v >> 12) & 0xfff], 2);
  std::memcpy(out + 6, kPairs.pair[v & 0xfff], 2);
}

inline uint32_t DecodeQuad(const unsigned char* in) {
  return kDecode.shifted[0][in[0]] | kDecode.shifted[1][in[1]] | kDecode.shifted[2][in[2]] |
         kDecode.shifted[3][in[3]];
}

inline void StoreGroup(uint32_t v, char* out) {
  out[0] = static_cast<char>(v >> 16);
  out[1] = static_cast<char>(v >> 8);
  out[2] = static_cast<char>(v);
}

// Two decoded groups with one 8-byte store; its last two bytes are left for what follows.
inline void StoreTwoGroups(uint32_t a, uint32_t b, char* out) {
  uint64_t v = (uint64_t{a & 0xffffff} << 40) | (uint64_t{b & 0xffffff} << 16);
#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  std::memcpy(out, &v, 8);
}

}  // namespace

MoxFilterBase64::MoxFilterBase64() = default;
MoxFilterBase64::MoxFilterBase64(const MoxFilterBase64& other) = default;
MoxFilterBase64& MoxFilterBase64::operator=(const MoxFilterBase64& other) = default;
MoxFilterBase64::~MoxFilterBase64() = default;

int MoxFilterBase64::Init() { return Reset(); }

int MoxFilterBase64::Reset() {
  heldLength = 0;
  column = 0;
  return MOXSTREAM_OK;
}

int MoxFilterBase64::Update(const char* data, int length) {
  const int check = CheckInput(data, length);
  if (check != MOXSTREAM_OK) return check;
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  size_t left = static_cast<size_t>(length);
  char out[kBlock];
  size_t used = 0;

  if (heldLength > 0) {
    while (heldLength < 3 && left > 0) {
      held[heldLength++] = *in++;
      --left;
    }
    if (heldLength < 3) return MOXSTREAM_OK;
    EncodeGroup(held, out);
    used = 4;
    heldLength = 0;
    column += 4;
    if (column == static_cast<int>(kLineChars)) {
      out[used++] = '\r';
      out[used++] = '\n';
      column = 0;
    }
  }

  while (left >= 3) {
    if (kBlock - used < kLineChars + 2) {
      const int r = Emit(out, static_cast<int>(used));
      if (r != MOXSTREAM_OK) return r;
      used = 0;
    }
    if (column == 0) {
      // Whole lines, as many as fit in the block.
      size_t lines = (kBlock - used) / (kLineChars + 2);
      if (lines > left / kLineBytes) lines = left / kLineBytes;
      for (size_t n = 0; n < lines; ++n) {
        char* o = out + used;
        // Nine double groups read bytes 0 to 55 of the line's 57; the last group follows.
        for (size_t g = 0; g < kLineBytes / 6; ++g) EncodeTwoGroups(in + 6 * g, o + 8 * g);
        EncodeGroup(in + kLineBytes - 3, o + kLineChars - 4);
        o[kLineChars] = '\r';
        o[kLineChars + 1] = '\n';
        used += kLineChars + 2;
        in += kLineBytes;
      }
      left -= lines * kLineBytes;
      if (lines > 0) continue;
    }
    // A partial line: at the start after a carried group, or at the end of the input.
    while (left >= 3 && column < static_cast<int>(kLineChars)) {
      EncodeGroup(in, out + used);
      in += 3;
      left -= 3;
      used += 4;
      column += 4;
    }
    if (column == static_cast<int>(kLineChars)) {
      out[used++] = '\r';
      out[used++] = '\n';
      column = 0;
    }
  }
  while (left > 0) {
    held[heldLength++] = *in++;
    --left;
  }
  return Emit(out, static_cast<int>(used));
}

int MoxFilterBase64::Final() {
  char out[8];
  size_t used = 0;
  if (heldLength > 0) {
    const unsigned char b0 = held[0];
    const unsigned char b1 = heldLength > 1 ? held[1] : 0;
    out[used++] = kAlphabet[b0 >> 2];
    out[used++] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
    out[used++] = heldLength > 1 ? kAlphabet[(b1 & 15) << 2] : '=';
    out[used++] = '=';
    column += 4;
  }
  if (column > 0) {
    out[used++] = '\r';
    out[used++] = '\n';
  }
  Reset();
  return Emit(out, static_cast<int>(used));
}

int MoxFilterBase64::CopyMembers(const MoxStreamProcess& other) {
  const int r = MoxStreamProcess::CopyMembers(other);
  if (r == MOXSTREAM_OK) *this = static_cast<const MoxFilterBase64&>(other);
  return r;
}

bool MoxFilterBase64::Equals(const MoxStreamProcess& other) const {
  if (!MoxStreamProcess::Equals(other)) return false;
  const auto& o = static_cast<const MoxFilterBase64&>(other);
  return heldLength == o.heldLength && column == o.column &&
         std::memcmp(held, o.held, static_cast<size_t>(heldLength)) == 0;
}

std::string MoxFilterBase64::GetDescription() const { return "base64 encoder"; }

unsigned int MoxFilterBase64::GetFilterType() const { return MOXSTREAM_TYPE_BASE64; }

MoxUnfilterBase64::MoxUnfilterBase64() = default;
MoxUnfilterBase64::MoxUnfilterBase64(const MoxUnfilterBase64& other) = default;
MoxUnfilterBase64& MoxUnfilterBase64::operator=(const MoxUnfilterBase64& other) = default;
MoxUnfilterBase64::~MoxUnfilterBase64() = default;

int MoxUnfilterBase64::Init() { return Reset(); }

int MoxUnfilterBase64::Reset() {
  bits = 0;
  sextets = 0;
  return MOXSTREAM_OK;
}

int MoxUnfilterBase64::Update(const char* data, int length) {
  const int check = CheckInput(data, length);
  if (check != MOXSTREAM_OK) return check;
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = in + length;
  char out[kBlock];
  size_t used = 0;

  while (in < end) {
    if (kBlock - used < 64) {
      const int r = Emit(out, static_cast<int>(used));
      if (r != MOXSTREAM_OK) return r;
      used = 0;
    }
    if (sextets == 0) {
      // Whole standard lines (76 clean characters and CRLF) in one pass, tested once.
      while (end - in >= static_cast<ptrdiff_t>(kLineChars + 2) && in[kLineChars] == '\r' &&
             in[kLineChars + 1] == '\n' && kBlock - used >= kLineBytes) {
        uint32_t flags = 0;
        char* o = out + used;
        // Nine double groups write bytes 0 to 55 of the line's 57; the last group follows.
        for (size_t g = 0; g < kLineChars / 8; ++g) {
          const uint32_t a = DecodeQuad(in + 8 * g);
          const uint32_t b = DecodeQuad(in + 8 * g + 4);
          flags |= a | b;
          StoreTwoGroups(a, b, o + 6 * g);
        }
        const uint32_t last = DecodeQuad(in + kLineChars - 4);
        flags |= last;
        StoreGroup(last, o + kLineBytes - 3);
        if ((flags & kInvalid) != 0) break;
        used += kLineBytes;
        in += kLineChars + 2;
      }
      // Whole groups of clean characters; the first break, blank or "=" drops to the
      // character loop below, which also keeps the state across Update calls.
      size_t groups = static_cast<size_t>(end - in) / 8;
      if (groups > (kBlock - used) / 6) groups = (kBlock - used) / 6;
      while (groups > 0) {
        const uint32_t a = DecodeQuad(in);
        const uint32_t b = DecodeQuad(in + 4);
        if (((a | b) & kInvalid) != 0) break;
        StoreGroup(a, out + used);
        StoreGroup(b, out + used + 3);
        used += 6;
        in += 8;
        --groups;
      }
      if (end - in >= 4 && kBlock - used >= 3) {
        const uint32_t a = DecodeQuad(in);
        if ((a & kInvalid) == 0) {
          StoreGroup(a, out + used);
          used += 3;
          in += 4;
          continue;
        }
      }
      if (in == end) break;
    }
    const unsigned char c = *in++;
    const uint32_t v = kDecode.shifted[3][c];
    if (v != kInvalid) {
      bits = (bits << 6) | v;
      if (++sextets == 4) {
        StoreGroup(bits, out + used);
        used += 3;
        bits = 0;
        sextets = 0;
      }
    } else if (c == '=') {
      // Padding ends the group: keep its whole bytes, so concatenated encodings decode too.
      if (sextets == 2) {
        out[used++] = static_cast<char>(bits >> 4);
      } else if (sextets == 3) {
        out[used++] = static_cast<char>(bits >> 10);
        out[used++] = static_cast<char>(bits >> 2);
      }
      bits = 0;
      sextets = 0;
    }
  }
  return Emit(out, static_cast<int>(used));
}

int MoxUnfilterBase64::Final() {
  // A missing padding: the held sextets give their whole bytes; one alone gives none.
  char out[2];
  size_t used = 0;
  if (sextets == 2) {
    out[used++] = static_cast<char>(bits >> 4);
  } else if (sextets == 3) {
    out[used++] = static_cast<char>(bits >> 10);
    out[used++] = static_cast<char>(bits >> 2);
  }
  Reset();
  return Emit(out, static_cast<int>(used));
}

int MoxUnfilterBase64::CopyMembers(const MoxStreamProcess& other) {
  const int r = MoxStreamProcess::CopyMembers(other);
  if (r == MOXSTREAM_OK) *this = static_cast<const MoxUnfilterBase64&>(other);
  return r;
}

bool MoxUnfilterBase64::Equals(const MoxStreamProcess& other) const {
  if (!MoxStreamProcess::Equals(other)) return false;
  const auto& o = static_cast<const MoxUnfilterBase64&>(other);
  return bits == o.bits && sextets == o.sextets;
}

std::string MoxUnfilterBase64::GetDescription() const { return "base64 decoder"; }

unsigned int MoxUnfilterBase64::GetFilterType() const { return MOXSTREAM_TYPE_BASE64; }
