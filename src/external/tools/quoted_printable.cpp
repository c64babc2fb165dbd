// MoxFilterQuotedPrintable, MoxUnfilterQuotedPrintable: table-driven quoted-printable
// (RFC 2045 6.7).
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <moxxml/external/quoted_printable.h>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr size_t kBlock = 16384;
// RFC 2045 6.7 (5): lines are at most 76 characters, the "=" of a soft break included.
constexpr int kMaxColumn = 75;

enum EncodeClass : unsigned char { kLiteral, kEncoded, kBlank, kCarriageReturn };

struct EncodeClasses {
  unsigned char of[256];
};

constexpr EncodeClasses MakeEncodeClasses() {
  EncodeClasses table{};
  for (int c = 0; c < 256; ++c) {
    // RFC 2045 6.7 (2): 33 to 60 and 62 to 126 stand for themselves.
    table.of[c] = (c >= 33 && c <= 126 && c != '=') ? kLiteral : kEncoded;
  }
  table.of[static_cast<unsigned char>(' ')] = kBlank;
  table.of[static_cast<unsigned char>('\t')] = kBlank;
  table.of[static_cast<unsigned char>('\r')] = kCarriageReturn;
  return table;
}

constexpr EncodeClasses kEncodeClass = MakeEncodeClasses();

// For the encoder's literal runs: bit 0 ends a run (a byte to encode, or CR); bit 1 marks a
// blank, which ends it only when a CR follows.
constexpr unsigned char kRunStop = 1;

constexpr EncodeClasses MakeRunFlags() {
  EncodeClasses table{};
  for (int c = 0; c < 256; ++c) {
    const unsigned char kind = kEncodeClass.of[c];
    table.of[c] = kind == kEncoded || kind == kCarriageReturn ? kRunStop : kind == kBlank ? 2 : 0;
  }
  return table;
}

constexpr EncodeClasses kRunFlags = MakeRunFlags();

// Decoding: bytes that stand for themselves, and the value of each hex digit (or -1).
enum DecodeClass : unsigned char { kPlain, kSpace, kEquals, kCR, kLF };

struct DecodeTables {
  unsigned char of[256];
  signed char hex[256];
};

constexpr DecodeTables MakeDecodeTables() {
  DecodeTables table{};
  for (int c = 0; c < 256; ++c) {
    table.of[c] = kPlain;
    table.hex[c] = -1;
  }
  table.of[static_cast<unsigned char>('=')] = kEquals;
  table.of[static_cast<unsigned char>(' ')] = kSpace;
  table.of[static_cast<unsigned char>('\t')] = kSpace;
  table.of[static_cast<unsigned char>('\r')] = kCR;
  table.of[static_cast<unsigned char>('\n')] = kLF;
  for (int d = 0; d < 10; ++d) table.hex['0' + d] = static_cast<signed char>(d);
  for (int d = 0; d < 6; ++d) {
    // Lower-case hex is not what RFC 2045 writes, but mail in the wild has it.
    table.hex['A' + d] = static_cast<signed char>(10 + d);
    table.hex['a' + d] = static_cast<signed char>(10 + d);
  }
  return table;
}

constexpr DecodeTables kDecode = MakeDecodeTables();

// The decoder's scan for the next "=", CR or LF: 16 bytes at a time with SSE2, else 8 in a
// word. SpecialBytes marks the bytes of a word that are one of the three (exact from the
// lowest marked byte up, which is all that FirstSpecial reads).
constexpr uint64_t kEveryByte = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;

inline uint64_t ZeroBytes(uint64_t word) { return (word - kEveryByte) & ~word & kHighBits; }

inline uint64_t SpecialBytes(uint64_t word) {
  return ZeroBytes(word ^ (kEveryByte * '=')) | ZeroBytes(word ^ (kEveryByte * '\r')) |
         ZeroBytes(word ^ (kEveryByte * '\n'));
}

// Index, in memory order, of the first special byte of a word loaded with memcpy.
inline size_t FirstSpecial(uint64_t marks) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return static_cast<size_t>(__builtin_clzll(marks)) / 8;
#else
  return static_cast<size_t>(__builtin_ctzll(marks)) / 8;
#endif
}

// Copies the bytes before the first "=", CR or LF at or after in, stopping short of the last
// 8 bytes before stop, and returns how many. Whole blocks are stored before they are looked
// at, so up to 16 bytes past the count are written, never past out + (stop - in).
inline size_t CopyPlainRun(const unsigned char* in, const unsigned char* stop, char* out) {
  const unsigned char* const start = in;
#ifdef __SSE2__
  const __m128i equals = _mm_set1_epi8('=');
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (stop - in >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    const int marks = _mm_movemask_epi8(
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, equals), _mm_cmpeq_epi8(block, cr)),
                     _mm_cmpeq_epi8(block, lf)));
    if (marks != 0) return static_cast<size_t>(in - start) + __builtin_ctz(marks);
    in += 16;
    out += 16;
  }
#endif
  while (stop - in >= 8) {
    uint64_t word;
    std::memcpy(&word, in, 8);
    std::memcpy(out, in, 8);
    const uint64_t marks = SpecialBytes(word);
    if (marks != 0) return static_cast<size_t>(in - start) + FirstSpecial(marks);
    in += 8;
    out += 8;
  }
  return static_cast<size_t>(in - start);
}

// The encoder's literal runs, 16 bytes at a time with SSE2: stores whole blocks of bytes that
// stand for themselves (a blank only when no CR follows it) from in, up to limit bytes, and
// returns how many it took; the rest of the run is left to the byte loop. Reads in[limit].
inline size_t LiteralBlocks(const unsigned char* in, size_t limit, char* out) {
  size_t n = 0;
#ifdef __SSE2__
  const __m128i above = _mm_set1_epi8(32);
  const __m128i below = _mm_set1_epi8(127);
  const __m128i equals = _mm_set1_epi8('=');
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i cr = _mm_set1_epi8('\r');
  while (n + 16 <= limit) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + n));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + n + 1));
    // Bytes 128 to 255 are negative as signed, so they fail the first test.
    const __m128i literal =
        _mm_andnot_si128(_mm_cmpeq_epi8(block, equals),
                         _mm_and_si128(_mm_cmpgt_epi8(block, above), _mm_cmplt_epi8(block, below)));
    const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(block, space), _mm_cmpeq_epi8(block, tab));
    const __m128i ok = _mm_or_si128(literal, _mm_andnot_si128(_mm_cmpeq_epi8(next, cr), blank));
    const int stops = ~_mm_movemask_epi8(ok) & 0xffff;
    if (stops != 0) {
      const size_t take = static_cast<size_t>(__builtin_ctz(stops));
      std::memcpy(out + n, in + n, take);
      return n + take;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), block);
    n += 16;
  }
#else
  (void)in;
  (void)limit;
  (void)out;
#endif
  return n;
}

// Writes the encoder's tokens, breaking lines softly before one would pass column 76.
struct LineWriter {
  char* out;
  size_t used;
  int column;

  void SoftBreak() {
    out[used++] = '=';
    out[used++] = '\r';
    out[used++] = '\n';
    column = 0;
  }
  void Literal(unsigned char c) {
    if (column >= kMaxColumn) SoftBreak();
    out[used++] = static_cast<char>(c);
    ++column;
  }
  void Encoded(unsigned char c) {
    if (column > kMaxColumn - 3) SoftBreak();
    out[used++] = '=';
    out[used++] = kHex[c >> 4];
    out[used++] = kHex[c & 15];
    column += 3;
  }
  void HardBreak() {
    out[used++] = '\r';
    out[used++] = '\n';
    column = 0;
  }
};

}  // namespace

MoxFilterQuotedPrintable::MoxFilterQuotedPrintable() = default;
MoxFilterQuotedPrintable::MoxFilterQuotedPrintable(const MoxFilterQuotedPrintable& other) = default;
MoxFilterQuotedPrintable& MoxFilterQuotedPrintable::operator=(
    const MoxFilterQuotedPrintable& other) = default;
MoxFilterQuotedPrintable::~MoxFilterQuotedPrintable() = default;

int MoxFilterQuotedPrintable::Init() { return Reset(); }

int MoxFilterQuotedPrintable::Reset() {
  heldBlank = 0;
  heldCR = false;
  column = 0;
  return MOXSTREAM_OK;
}

int MoxFilterQuotedPrintable::Update(const char* data, int length) {
  const int check = CheckInput(data, length);
  if (check != MOXSTREAM_OK) return check;
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = in + length;
  char out[kBlock];
  LineWriter w{out, 0, column};

  // Settle the blank and CR held from the last call, as far as the new bytes allow.
  while ((heldBlank != 0 || heldCR) && in < end) {
    const unsigned char c = *in;
    if (heldCR) {
      if (c == '\n') {
        // RFC 2045 6.7 (3): a blank at the end of a line must be encoded.
        if (heldBlank != 0) w.Encoded(heldBlank);
        w.HardBreak();
        ++in;
      } else {
        if (heldBlank != 0) w.Literal(heldBlank);
        w.Encoded('\r');
      }
      heldBlank = 0;
      heldCR = false;
    } else if (c == '\r') {
      heldCR = true;
      ++in;
    } else {
      w.Literal(heldBlank);
      heldBlank = 0;
    }
  }

  while (in < end) {
    if (kBlock - w.used < 256) {
      const int r = Emit(out, static_cast<int>(w.used));
      if (r != MOXSTREAM_OK) return r;
      w.used = 0;
    }
    const unsigned char c = *in;
    switch (kEncodeClass.of[c]) {
      case kLiteral:
      case kBlank: {
        // A run of literals, and of blanks with a byte other than CR after them, up to the
        // next soft break; the last byte of this input is left to the cases below.
        if (w.column >= kMaxColumn) w.SoftBreak();
        const size_t room = static_cast<size_t>(kMaxColumn - w.column);
        const size_t left = static_cast<size_t>(end - in);
        const size_t limit = room < left - 1 ? room : left - 1;
        char* o = out + w.used;
        size_t n = LiteralBlocks(in, limit, o);
        while (n < limit) {
          const unsigned char flags = kRunFlags.of[in[n]];
          if ((flags & kRunStop) | ((flags >> 1) & (in[n + 1] == '\r'))) break;
          o[n] = static_cast<char>(in[n]);
          ++n;
        }
        if (n > 0) {
          in += n;
          w.used += n;
          w.column += static_cast<int>(n);
          break;
        }
        if (kEncodeClass.of[c] == kLiteral) {
          w.Literal(c);
          ++in;
          break;
        }
        // A blank before a CR or at the end of this input.
        if (end - in >= 2 && in[1] != '\r') {
          w.Literal(c);
          ++in;
        } else if (end - in >= 3) {
          if (in[2] == '\n') {
            w.Encoded(c);
            w.HardBreak();
            in += 3;
          } else {
            w.Literal(c);
            ++in;
          }
        } else {
          heldBlank = c;
          ++in;
          if (in < end) {
            heldCR = true;
            ++in;
          }
        }
        break;
      }
      case kEncoded:
        w.Encoded(c);
        ++in;
        break;
      case kCarriageReturn:
        if (end - in >= 2) {
          if (in[1] == '\n') {
            w.HardBreak();
            in += 2;
          } else {
            w.Encoded(c);
            ++in;
          }
        } else {
          heldCR = true;
          ++in;
        }
        break;
    }
  }
  column = w.column;
  return Emit(out, static_cast<int>(w.used));
}

int MoxFilterQuotedPrintable::Final() {
  char out[16];
  LineWriter w{out, 0, column};
  if (heldBlank != 0) {
    // Followed by a lone CR the blank ends no line; at the very end it does.
    if (heldCR) {
      w.Literal(heldBlank);
    } else {
      w.Encoded(heldBlank);
    }
  }
  if (heldCR) w.Encoded('\r');
  Reset();
  return Emit(out, static_cast<int>(w.used));
}

int MoxFilterQuotedPrintable::CopyMembers(const MoxStreamProcess& other) {
  const int r = MoxStreamProcess::CopyMembers(other);
  if (r == MOXSTREAM_OK) *this = static_cast<const MoxFilterQuotedPrintable&>(other);
  return r;
}

bool MoxFilterQuotedPrintable::Equals(const MoxStreamProcess& other) const {
  if (!MoxStreamProcess::Equals(other)) return false;
  const auto& o = static_cast<const MoxFilterQuotedPrintable&>(other);
  return heldBlank == o.heldBlank && heldCR == o.heldCR && column == o.column;
}

std::string MoxFilterQuotedPrintable::GetDescription() const { return "quoted-printable encoder"; }

unsigned int MoxFilterQuotedPrintable::GetFilterType() const {
  return MOXSTREAM_TYPE_QUOTED_PRINTABLE;
}

namespace {

// The decoder's states; "held" keeps the bytes they stand for.
enum DecodeState {
  kText,        // nothing held
  kBlanks,      // blanks, dropped if a line break follows
  kBlanksCR,    // blanks (perhaps none) and a CR
  kEq,          // "="
  kEqHex,       // "=" and one hex digit (held[0])
  kEqBlanks,    // "=" and blanks: a soft break if a line break follows
  kEqBlanksCR,  // "=", blanks (perhaps none) and a CR
};

}  // namespace

MoxUnfilterQuotedPrintable::MoxUnfilterQuotedPrintable() = default;
MoxUnfilterQuotedPrintable::MoxUnfilterQuotedPrintable(const MoxUnfilterQuotedPrintable& other) =
    default;
MoxUnfilterQuotedPrintable& MoxUnfilterQuotedPrintable::operator=(
    const MoxUnfilterQuotedPrintable& other) = default;
MoxUnfilterQuotedPrintable::~MoxUnfilterQuotedPrintable() = default;

int MoxUnfilterQuotedPrintable::Init() { return Reset(); }

int MoxUnfilterQuotedPrintable::Reset() {
  state = kText;
  heldLength = 0;
  return MOXSTREAM_OK;
}

char* MoxUnfilterQuotedPrintable::Plain(unsigned char c, char* out) {
  switch (kDecode.of[c]) {
    case kPlain:
      *out++ = static_cast<char>(c);
      break;
    case kEquals:
      state = kEq;
      break;
    case kSpace:
      held[0] = c;
      heldLength = 1;
      state = kBlanks;
      break;
    case kCR:
      heldLength = 0;
      state = kBlanksCR;
      break;
    case kLF:
      *out++ = '\n';
      break;
  }
  return out;
}

char* MoxUnfilterQuotedPrintable::Step(unsigned char c, char* out) {
  const unsigned char kind = kDecode.of[c];
  switch (state) {
    case kText:
      return Plain(c, out);
    case kBlanks:
      if (kind == kSpace) {
        if (heldLength == kMaxHeldBlanks) {
          std::memcpy(out, held, static_cast<size_t>(heldLength));
          out += heldLength;
          heldLength = 0;
        }
        held[heldLength++] = c;
      } else if (kind == kCR) {
        state = kBlanksCR;
      } else if (kind == kLF) {
        // RFC 2045 6.7 (3): blanks at the end of a line were added in transport.
        *out++ = '\n';
        Reset();
      } else {
        std::memcpy(out, held, static_cast<size_t>(heldLength));
        out += heldLength;
        Reset();
        out = Plain(c, out);
      }
      return out;
    case kBlanksCR:
      if (kind == kLF) {
        *out++ = '\r';
        *out++ = '\n';
        Reset();
      } else {
        // A lone CR is data, and so are the blanks before it.
        std::memcpy(out, held, static_cast<size_t>(heldLength));
        out += heldLength;
        *out++ = '\r';
        Reset();
        out = Plain(c, out);
      }
      return out;
    case kEq:
      if (kDecode.hex[c] >= 0) {
        held[0] = c;
        state = kEqHex;
      } else if (kind == kSpace) {
        held[0] = c;
        heldLength = 1;
        state = kEqBlanks;
      } else if (kind == kCR) {
        heldLength = 0;
        state = kEqBlanksCR;
      } else if (kind == kLF) {
        Reset();
      } else {
        *out++ = '=';
        Reset();
        out = Plain(c, out);
      }
      return out;
    case kEqHex:
      if (kDecode.hex[c] >= 0) {
        *out++ = static_cast<char>((kDecode.hex[held[0]] << 4) | kDecode.hex[c]);
        Reset();
      } else {
        *out++ = '=';
        *out++ = static_cast<char>(held[0]);
        Reset();
        out = Plain(c, out);
      }
      return out;
    case kEqBlanks:
      if (kind == kSpace && heldLength < kMaxHeldBlanks) {
        held[heldLength++] = c;
        return out;
      }
      if (kind == kCR) {
        state = kEqBlanksCR;
        return out;
      }
      if (kind == kLF) {
        Reset();
        return out;
      }
      break;
    case kEqBlanksCR:
      if (kind == kLF) {
        Reset();
        return out;
      }
      break;
  }
  // Not a soft break after all: the "=" is data, and what followed it is read again.
  unsigned char again[kMaxHeldBlanks + 1];
  size_t count = static_cast<size_t>(heldLength);
  std::memcpy(again, held, count);
  if (state == kEqBlanksCR) again[count++] = '\r';
  *out++ = '=';
  Reset();
  for (size_t i = 0; i < count; ++i) out = Step(again[i], out);
  return Step(c, out);
}

namespace {

// Of a run of blanks of this length, how many are still held back: the hold keeps up to
// kMaxHeldBlanks and writes them all out when one more comes.
size_t HeldPartOfRun(size_t run) {
  constexpr size_t kMax = MoxUnfilterQuotedPrintable::kMaxHeldBlanks;
  return run <= kMax ? run : (run - 1) % kMax + 1;
}

// Start of the run of blanks that ends at out, looking back no further than floor.
char* BlankRun(char* floor, char* out) {
  while (out > floor && (out[-1] == ' ' || out[-1] == '\t')) --out;
  return out;
}

}  // namespace

char* MoxUnfilterQuotedPrintable::HoldBlanks(char* floor, char* out) {
  const size_t hold = HeldPartOfRun(static_cast<size_t>(out - BlankRun(floor, out)));
  if (hold == 0) return out;
  out -= hold;
  std::memcpy(held, out, hold);
  heldLength = static_cast<int>(hold);
  state = kBlanks;
  return out;
}

int MoxUnfilterQuotedPrintable::Update(const char* data, int length) {
  const int check = CheckInput(data, length);
  if (check != MOXSTREAM_OK) return check;
  const auto* in = reinterpret_cast<const unsigned char*>(data);
  const unsigned char* const end = in + length;
  char buffer[kBlock];
  char* const limit = buffer + kBlock - (4 * kMaxHeldBlanks + 16);
  char* out = buffer;
  // In the text state, blanks that end the output but lie after floor are those a line break
  // would still drop; decoded bytes and line breaks move floor on.
  char* floor = buffer;

  while (in < end) {
    if (out >= limit) {
      // Blanks still in question move to the front of the next block.
      char* keep = out - HeldPartOfRun(static_cast<size_t>(out - BlankRun(floor, out)));
      const int r = Emit(buffer, static_cast<int>(keep - buffer));
      if (r != MOXSTREAM_OK) return r;
      const size_t kept = static_cast<size_t>(out - keep);
      std::memmove(buffer, keep, kept);
      floor = buffer;
      out = buffer + kept;
    }
    if (state != kText) {
      out = Step(*in++, out);
      floor = out;
      continue;
    }
    // Plain bytes and blanks go straight through, and "=XX" and CRLF are decoded in the same
    // loop; output never outgrows the input read, so room bounds both.
    size_t room = static_cast<size_t>(limit - out);
    if (room > static_cast<size_t>(end - in)) room = static_cast<size_t>(end - in);
    const unsigned char* const stop = in + room;
    while (in < stop) {
      const size_t plain = CopyPlainRun(in, stop, out);
      in += plain;
      out += plain;
      if (in >= stop) break;
      const unsigned char c = *in;
      const unsigned char kind = kDecode.of[c];
      if (kind <= kSpace) {
        *out++ = static_cast<char>(c);
        ++in;
        continue;
      }
      if (kind == kEquals && end - in >= 3) {
        const int high = kDecode.hex[in[1]];
        const int low = kDecode.hex[in[2]];
        if ((high | low) < 0) break;
        *out++ = static_cast<char>((high << 4) | low);
        floor = out;
        in += 3;
        continue;
      }
      if (kind == kCR && end - in >= 2 && in[1] == '\n') {
        out -= HeldPartOfRun(static_cast<size_t>(out - BlankRun(floor, out)));
        out[0] = '\r';
        out[1] = '\n';
        out += 2;
        floor = out;
        in += 2;
        continue;
      }
      break;
    }
    if (in >= stop) continue;
    const size_t left = static_cast<size_t>(end - in);
    switch (kDecode.of[*in]) {
      case kEquals:
        if (left >= 3) {
          const int high = kDecode.hex[in[1]];
          const int low = kDecode.hex[in[2]];
          if ((high | low) >= 0) {
            *out++ = static_cast<char>((high << 4) | low);
            floor = out;
            in += 3;
            continue;
          }
          if (in[1] == '\r' && in[2] == '\n') {
            floor = out;
            in += 3;
            continue;
          }
        }
        break;
      case kCR:
        if (left >= 2) {
          if (in[1] == '\n') {
            out -= HeldPartOfRun(static_cast<size_t>(out - BlankRun(floor, out)));
            *out++ = '\r';
            *out++ = '\n';
            in += 2;
          } else {
            // A lone CR is data, and so are the blanks before it.
            *out++ = '\r';
            ++in;
          }
          floor = out;
          continue;
        }
        break;
      case kLF:
        out -= HeldPartOfRun(static_cast<size_t>(out - BlankRun(floor, out)));
        *out++ = '\n';
        floor = out;
        ++in;
        continue;
      default:
        break;
    }
    out = HoldBlanks(floor, out);
    out = Step(*in++, out);
    floor = out;
  }
  if (state == kText) out = HoldBlanks(floor, out);
  return Emit(buffer, static_cast<int>(out - buffer));
}

int MoxUnfilterQuotedPrintable::Final() {
  char out[kMaxHeldBlanks + 4];
  size_t used = 0;
  switch (state) {
    case kBlanksCR:
      // Blanks and a lone CR at the end are data.
      std::memcpy(out, held, static_cast<size_t>(heldLength));
      used = static_cast<size_t>(heldLength);
      out[used++] = '\r';
      break;
    case kEqHex:
      out[used++] = '=';
      out[used++] = static_cast<char>(held[0]);
      break;
    default:
      // Trailing blanks end the last line and are dropped; a "=" with nothing but blanks
      // and a CR after it is a soft break that lost its line end.
      break;
  }
  Reset();
  return Emit(out, static_cast<int>(used));
}

int MoxUnfilterQuotedPrintable::CopyMembers(const MoxStreamProcess& other) {
  const int r = MoxStreamProcess::CopyMembers(other);
  if (r == MOXSTREAM_OK) *this = static_cast<const MoxUnfilterQuotedPrintable&>(other);
  return r;
}

bool MoxUnfilterQuotedPrintable::Equals(const MoxStreamProcess& other) const {
  if (!MoxStreamProcess::Equals(other)) return false;
  const auto& o = static_cast<const MoxUnfilterQuotedPrintable&>(other);
  const size_t count = state == kEqHex ? 1 : static_cast<size_t>(heldLength);
  return state == o.state && heldLength == o.heldLength && std::memcmp(held, o.held, count) == 0;
}

std::string MoxUnfilterQuotedPrintable::GetDescription() const {
  return "quoted-printable decoder";
}

unsigned int MoxUnfilterQuotedPrintable::GetFilterType() const {
  return MOXSTREAM_TYPE_QUOTED_PRINTABLE;
}
