// LineClassifier, BuildHeaderRecord and the chain helpers: header lines and parameters
// (RFC 5322 fields, RFC 2045 parameters, RFC 2231 continuations).
#include "external/mime/header_fields.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace moxxml_mime {

LineKind LineClassifier::Feed(const char* line, std::size_t length, bool atEnd) {
  if (kind != LineKind::kUndecided) return kind;
  if (length == 0) return kind = atEnd ? LineKind::kOther : LineKind::kUndecided;
  const auto first = static_cast<unsigned char>(line[0]);
  if (IsBlank(first)) return kind = LineKind::kContinuation;
  if (first == '\n') {
    blankLength = 1;
    return kind = LineKind::kBlank;
  }
  if (first == '\r') {
    // A lone CR ends a line for Python's universal newlines, so it is a blank line too.
    if (length < 2 && !atEnd) return kind;
    blankLength = (length >= 2 && line[1] == '\n') ? 2 : 1;
    return kind = LineKind::kBlank;
  }
  static const char kEnvelope[] = "From ";
  for (std::size_t i = scanned; i < length; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (i == 4 && c == ' ' && std::memcmp(line, kEnvelope, 4) == 0) {
      return kind = LineKind::kEnvelope;
    }
    if (c == ':') return kind = LineKind::kField;
    if (!IsFieldNameChar(c)) return kind = LineKind::kOther;
  }
  scanned = length;
  if (atEnd) kind = LineKind::kOther;
  return kind;
}

mime_header_context* NewHeaderRecord(const char* name, std::size_t nameLength, const char* value,
                                     std::size_t valueLength) {
  const std::size_t size =
      sizeof(mime_header_context) + (name ? nameLength + 1 : 0) + (value ? valueLength + 1 : 0);
  auto* record = static_cast<mime_header_context*>(std::malloc(size));
  if (record == nullptr) return nullptr;
  char* text = reinterpret_cast<char*>(record + 1);
  record->next = nullptr;
  record->parms = nullptr;
  record->nameLength = name ? static_cast<unsigned int>(nameLength) : 0;
  record->valueLength = value ? static_cast<unsigned int>(valueLength) : 0;
  record->name = nullptr;
  record->value = nullptr;
  if (name) {
    std::memcpy(text, name, nameLength);
    text[nameLength] = '\0';
    record->name = text;
    text += nameLength + 1;
  }
  if (value) {
    std::memcpy(text, value, valueLength);
    text[valueLength] = '\0';
    record->value = text;
  }
  return record;
}

void FreeHeaderChain(mime_header_context* first) {
  while (first != nullptr) {
    mime_header_context* next = first->next;
    mime_header_context* parm = first->parms;
    while (parm != nullptr) {
      mime_header_context* nextParm = parm->next;
      FreeHeaderChain(parm->parms);  // parameters carry no parameters of their own
      std::free(parm);
      parm = nextParm;
    }
    std::free(first);
    first = next;
  }
}

namespace {

mime_header_context* CopyRecord(const mime_header_context* source) {
  return NewHeaderRecord(source->name, source->nameLength, source->value, source->valueLength);
}

// Copies one chain level; parameter chains are copied by the caller.
mime_header_context* CopyLevel(const mime_header_context* first, bool withParms) {
  mime_header_context* head = nullptr;
  mime_header_context** link = &head;
  for (const mime_header_context* at = first; at != nullptr; at = at->next) {
    mime_header_context* copy = CopyRecord(at);
    if (copy == nullptr) {
      FreeHeaderChain(head);
      return nullptr;
    }
    *link = copy;
    link = &copy->next;
    if (withParms && at->parms != nullptr) {
      copy->parms = CopyLevel(at->parms, false);
      if (copy->parms == nullptr) {
        FreeHeaderChain(head);
        return nullptr;
      }
    }
  }
  return head;
}

void TrimRange(const std::string& text, std::size_t& begin, std::size_t& end) {
  while (begin < end && std::strchr(" \t\r\n", text[begin]) && text[begin] != '\0') ++begin;
  while (end > begin && std::strchr(" \t\r\n", text[end - 1]) && text[end - 1] != '\0') --end;
}

std::string Trimmed(const std::string& text, std::size_t begin, std::size_t end) {
  TrimRange(text, begin, end);
  return text.substr(begin, end - begin);
}

// RFC 5322 quoted-string: outer quotes dropped, quoted-pairs resolved. Values that do not
// both start and end with a quote are kept as written (so does Python's email.utils).
std::string Unquoted(const std::string& value) {
  if (value.size() < 2 || value.front() != '"' || value.back() != '"') return value;
  std::string out;
  out.reserve(value.size() - 2);
  for (std::size_t i = 1; i + 1 < value.size(); ++i) {
    if (value[i] == '\\' && i + 2 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Section {
  std::string base;
  long number;  // -1: no section number ("name*")
  bool encoded;
  std::string value;
};

// RFC 2231 parameter name: word characters, '*', optional section number, optional '*'.
bool ParseRfc2231Name(const std::string& name, Section& section) {
  const std::size_t star = name.find('*');
  if (star == std::string::npos || star == 0) return false;
  for (std::size_t i = 0; i < star; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (!(IsAsciiAlnum(c) || c == '_')) return false;
  }
  std::size_t i = star + 1;
  long number = -1;
  if (i < name.size()) {
    const std::size_t digitsStart = i;
    number = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') {
      if (number <= kMaxRfc2231Section) number = number * 10 + (name[i] - '0');
      ++i;
    }
    if (i == digitsStart) return false;
    if (i < name.size() && name[i] == '*') ++i;
    if (i != name.size()) return false;
  }
  section.base = name.substr(0, star);
  section.number = number;
  section.encoded = name.back() == '*';
  return true;
}

bool AppendParm(mime_header_context* header, mime_header_context**& link, int& count,
                const std::string& name, const std::string& value) {
  if (count >= kMaxParameters) return true;
  mime_header_context* parm = NewHeaderRecord(name.data(), name.size(), value.data(), value.size());
  if (parm == nullptr) return false;
  (void)header;
  *link = parm;
  link = &parm->next;
  ++count;
  return true;
}

// Splits "attribute=value" segments at semicolons outside quoted strings.
bool AddParameters(mime_header_context* header, const std::string& text, std::size_t from) {
  std::vector<Section> sections;
  mime_header_context** link = &header->parms;
  int count = 0;
  // Python's email package splits the whole value, the type included, so a quote in the
  // type keeps following semicolons from splitting; the first segment is the type itself.
  (void)from;
  std::size_t start = 0;
  bool isType = true;
  while (start < text.size()) {
    std::size_t end = start;
    bool quoted = false;
    for (; end < text.size(); ++end) {
      const char c = text[end];
      if (c == '\\') {
        ++end;
        continue;
      }
      if (c == '"') quoted = !quoted;
      if (c == ';' && !quoted) break;
    }
    end = std::min(end, text.size());
    if (isType) {
      isType = false;
      start = end + 1;
      continue;
    }
    // Searched within the segment only: a search to the end of the text for every
    // segment without '=' would make a value full of semicolons quadratic.
    const std::size_t equals =
        static_cast<std::size_t>(std::find(text.begin() + static_cast<std::ptrdiff_t>(start),
                                           text.begin() + static_cast<std::ptrdiff_t>(end), '=') -
                                 text.begin());
    if (equals < end) {
      const std::string name = Trimmed(text, start, equals);
      const std::string value = Unquoted(Trimmed(text, equals + 1, end));
      Section section;
      if (ParseRfc2231Name(name, section)) {
        if (section.number <= kMaxRfc2231Section && sections.size() < 4u * kMaxParameters) {
          section.value = value;
          sections.push_back(std::move(section));
        }
      } else if (!AppendParm(header, link, count, name, value)) {
        return false;
      }
    }
    start = end + 1;
  }
  // Continuations are joined in section order after the plain parameters, one parameter per
  // name; a repeated section number keeps its first occurrence.
  std::vector<bool> used(sections.size(), false);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (used[i]) continue;
    std::vector<const Section*> group;
    for (std::size_t j = i; j < sections.size(); ++j) {
      if (!used[j] && sections[j].base == sections[i].base) {
        used[j] = true;
        group.push_back(&sections[j]);
      }
    }
    std::stable_sort(group.begin(), group.end(),
                     [](const Section* a, const Section* b) { return a->number < b->number; });
    std::string joined;
    bool extended = false;
    long last = -2;
    for (const Section* section : group) {
      if (section->number == last) continue;
      last = section->number;
      if (section->encoded) {
        extended = true;
        joined += PercentDecoded(section->value);
      } else {
        joined += section->value;
      }
    }
    if (extended) {
      // charset'language'text: the text is kept as octets, the charset is not applied.
      const std::size_t tick1 = joined.find('\'');
      const std::size_t tick2 =
          tick1 == std::string::npos ? std::string::npos : joined.find('\'', tick1 + 1);
      if (tick2 != std::string::npos) joined.erase(0, tick2 + 1);
    }
    if (!AppendParm(header, link, count, sections[i].base, joined)) return false;
  }
  return true;
}

}  // namespace

mime_header_context* CopyHeaderChain(const mime_header_context* first) {
  return CopyLevel(first, true);
}

bool EqualsNoCase(const char* text, const char* literal) {
  if (text == nullptr) return false;
  for (; *literal != '\0'; ++text, ++literal) {
    if (AsciiLower(static_cast<unsigned char>(*text)) != *literal) return false;
  }
  return *text == '\0';
}

mime_header_context* BuildHeaderRecord(const char* field, std::size_t length, std::size_t nameEnd) {
  try {
    std::size_t nameLength = nameEnd;
    while (nameLength > 0 && IsBlank(static_cast<unsigned char>(field[nameLength - 1]))) {
      --nameLength;
    }
    // RFC 5322 3.2.2: unfolding removes each CRLF (or bare LF) before a blank.
    std::string value;
    value.reserve(length - nameEnd);
    for (std::size_t i = nameEnd + 1; i < length; ++i) {
      const char c = field[i];
      if (c == '\n' || (c == '\r' && i + 1 < length && field[i + 1] == '\n')) continue;
      value += c;
    }
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(value[begin]))) ++begin;
    while (end > begin &&
           (IsBlank(static_cast<unsigned char>(value[end - 1])) || value[end - 1] == '\r')) {
      --end;
    }
    const std::string name(field, nameLength);
    const bool withParms = EqualsNoCase(name.c_str(), "content-type") ||
                           EqualsNoCase(name.c_str(), "content-disposition");
    std::size_t valueEnd = end;
    const std::size_t semicolon = withParms ? value.find(';', begin) : std::string::npos;
    if (semicolon != std::string::npos && semicolon < end) {
      valueEnd = semicolon;
      TrimRange(value, begin, valueEnd);
    }
    mime_header_context* record =
        NewHeaderRecord(name.data(), name.size(), value.data() + begin, valueEnd - begin);
    if (record == nullptr) return nullptr;
    if (semicolon != std::string::npos && semicolon < end) {
      // The record is the caller's only once it is complete; parameters hang on it as they
      // are made, so one free takes everything.
      bool added = false;
      try {
        added = AddParameters(record, value.substr(0, end), semicolon + 1);
      } catch (const std::bad_alloc&) {
      }
      if (!added) {
        FreeHeaderChain(record);
        return nullptr;
      }
    }
    return record;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace moxxml_mime
