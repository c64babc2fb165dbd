// MIMEMessageParser: a byte-driven state machine over lines that splits a message into
// entities and drives a MIMEOutputTarget.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <moxxml/external/mime_parser.h>

#include "external/mime/header_fields.h"

using moxxml_mime::LineClassifier;
using moxxml_mime::LineKind;

namespace {

constexpr std::size_t kMaxDepth = 64;
// Each entity costs its target a node and a description: a message of a million empty parts
// would otherwise cost tens of times its own size.
constexpr std::size_t kMaxEntities = 10000;
constexpr std::size_t kMaxBoundary = 998;
constexpr std::size_t kMaxDelimiterLine = 4096;

enum class Phase { kHeader, kLeaf, kPreamble, kPartPending, kInPart, kEpilogue, kContainer };

bool Listens(Phase phase) {
  return phase == Phase::kPreamble || phase == Phase::kPartPending || phase == Phase::kInPart;
}

// Types whose body is one encapsulated message (RFC 2046 5.2, RFC 6532 3.7, RFC 5537).
// message/disposition-notification, message/delivery-status and message/partial bodies
// are not messages and stay leaves.
bool IsEncapsulated(const std::string& type) {
  return type == "message/rfc822" || type == "message/global" || type == "message/news" ||
         type == "message/external-body";
}

struct Frame {
  std::unique_ptr<MIMEEntityDescription> description;
  Phase phase = Phase::kHeader;
  std::string delimiter;  // "--" + boundary
  bool closed = false;
  bool digest = false;
};

}  // namespace

struct MIMEMessageParser::State {
  explicit State(MIMEOutputTarget& target) : target(target) {}

  void Consume(const char* data, std::size_t length);
  bool Decide(bool atEnd);
  void Emit(std::size_t index, const char* data, std::size_t length, bool flag);
  std::size_t FeedHeader(const char* data, std::size_t length);
  void FlushPending();
  void OnHeaderEnd();
  void PushChild();
  void CloseTop();
  int FindDelimiter(bool atEnd, bool& close) const;
  void HandleDelimiter(std::size_t index, bool close);
  bool NeedsDecision(const char* data, std::size_t length) const;

  MIMEEntityDescription* First() { return frames.front().description.get(); }
  Frame& Top() { return frames.back(); }

  MIMEOutputTarget& target;
  std::vector<Frame> frames;
  std::string hold;
  std::string pendingOut;
  LineClassifier classifier;
  std::size_t listening = 0;
  std::size_t entities = 1;  // opened so far, the message itself included
  bool atLineStart = true;
  bool finished = false;
  bool broken = false;
};

void MIMEMessageParser::State::Emit(std::size_t index, const char* data, std::size_t length,
                                    bool flag) {
  if (length == 0) return;
  Frame& frame = frames[index];
  target.Update(data, static_cast<int>(length), First(), frame.description.get(), flag);
}

void MIMEMessageParser::State::FlushPending() {
  if (pendingOut.empty()) return;
  std::string out;
  out.swap(pendingOut);
  Emit(frames.size() - 1, out.data(), out.size(), Top().description->IsFinalized() != 0);
}

// Header bytes go to the description first; the target gets them once the content type is
// known, so that it can recognise the entity in every call.
std::size_t MIMEMessageParser::State::FeedHeader(const char* data, std::size_t length) {
  MIMEEntityDescription& description = *Top().description;
  const std::size_t used =
      static_cast<std::size_t>(description.Update(data, static_cast<int>(length)));
  const bool ended = description.IsFinalized() != 0;
  if (!description.IsContentTypeKnown()) {
    pendingOut.append(data, used);
  } else if (!pendingOut.empty()) {
    pendingOut.append(data, used);
    FlushPending();
  } else {
    Emit(frames.size() - 1, data, used, ended);
  }
  if (ended) OnHeaderEnd();
  return used;
}

void MIMEMessageParser::State::OnHeaderEnd() {
  FlushPending();
  Frame& frame = Top();
  const std::string type = frame.description->GetContentType();
  const bool canNest = frames.size() < kMaxDepth && entities < kMaxEntities;
  frame.phase = Phase::kLeaf;
  if (!canNest) return;
  if (type.compare(0, 10, "multipart/") == 0) {
    const char* boundary = frame.description->GetParameterValue("Content-Type", "boundary");
    std::string value = boundary ? boundary : "";
    // RFC 2046 5.1.1: a boundary may not end in blanks.
    while (!value.empty() && std::strchr(" \t\r\n\f\v", value.back()) != nullptr) {
      value.pop_back();
    }
    if (!value.empty() && value.size() <= kMaxBoundary) {
      frame.delimiter = "--" + value;
      frame.phase = Phase::kPreamble;
      frame.digest = type == "multipart/digest";
      ++listening;
    }
  } else if (IsEncapsulated(type)) {
    frame.phase = Phase::kContainer;
    PushChild();
  }
}

void MIMEMessageParser::State::PushChild() {
  Frame& parent = Top();
  const bool digest = parent.digest;
  if (parent.phase == Phase::kPartPending) parent.phase = Phase::kInPart;
  Frame child;
  child.description = std::make_unique<MIMEEntityDescription>(0);
  // RFC 2046 5.1.5: parts of a digest are messages unless they say otherwise.
  if (digest) child.description->SetDefaultContentType("message/rfc822");
  frames.push_back(std::move(child));
  ++entities;
  classifier.Reset();
}

void MIMEMessageParser::State::CloseTop() {
  if (Top().phase == Phase::kPartPending && entities < kMaxEntities) {
    // A delimiter followed by the end of the multipart still opens one (empty) part.
    PushChild();
    CloseTop();
  }
  Frame& frame = Top();
  if (frame.phase == Phase::kHeader) {
    frame.description->FinishHeader();
    FlushPending();
    frame.phase = Phase::kLeaf;
  }
  bool incomplete = frame.description->IsHeaderTruncated();
  if (Listens(frame.phase)) {
    --listening;
    incomplete = true;
  }
  MIMEEntityDescription* entity = frame.description.get();
  target.Finalize(First(), entity, incomplete);
  frames.pop_back();
  classifier.Reset();
}

// The outermost listening multipart whose delimiter the held line is; -1 for none.
int MIMEMessageParser::State::FindDelimiter(bool atEnd, bool& close) const {
  if (listening == 0 || hold.size() < 2 || hold[0] != '-' || hold[1] != '-') return -1;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const Frame& frame = frames[i];
    if (!Listens(frame.phase) || hold.compare(0, frame.delimiter.size(), frame.delimiter) != 0) {
      continue;
    }
    std::size_t at = frame.delimiter.size();
    bool isClose = false;
    if (hold.compare(at, 2, "--") == 0) {
      isClose = true;
      at += 2;
    }
    while (at < hold.size() && (hold[at] == ' ' || hold[at] == '\t')) ++at;
    const std::string rest = hold.substr(at);
    if (rest == "\n" || rest == "\r\n" || (atEnd && (rest.empty() || rest == "\r"))) {
      close = isClose;
      return static_cast<int>(i);
    }
  }
  return -1;
}

void MIMEMessageParser::State::HandleDelimiter(std::size_t index, bool close) {
  while (frames.size() > index + 1) CloseTop();
  Frame& frame = frames[index];
  std::string line;
  line.swap(hold);
  Emit(index, line.data(), line.size(), false);
  atLineStart = true;
  if (frame.phase == Phase::kPartPending) return;  // repeated delimiter lines open no part
  if (close) {
    frame.phase = Phase::kEpilogue;
    frame.closed = true;
    --listening;
  } else {
    frame.phase = Phase::kPartPending;
  }
}

bool MIMEMessageParser::State::NeedsDecision(const char* data, std::size_t length) const {
  const Phase phase = frames.back().phase;
  if (phase == Phase::kHeader || phase == Phase::kPartPending) return true;
  return listening > 0 && length > 0 && data[0] == '-';
}

// Decides what the held line start is and dispatches it; false when more bytes are needed.
bool MIMEMessageParser::State::Decide(bool atEnd) {
  if (listening > 0 && hold[0] == '-') {
    if (hold.size() < 2 && !atEnd) return false;
    if (hold.size() >= 2 && hold[1] == '-' && hold.back() != '\n' && !atEnd &&
        hold.size() < kMaxDelimiterLine) {
      return false;
    }
    bool close = false;
    const int index = FindDelimiter(atEnd || hold.back() == '\n', close);
    if (index >= 0) {
      HandleDelimiter(static_cast<std::size_t>(index), close);
      return true;
    }
  }
  const Phase phase = Top().phase;
  if (phase == Phase::kPartPending && entities >= kMaxEntities) {
    // Past the entity limit a part is not split out: up to the next delimiter its bytes are
    // the multipart's own, as a preamble is.
    Top().phase = Phase::kPreamble;
  } else if (phase == Phase::kPartPending) {
    PushChild();
    std::string line;
    line.swap(hold);
    atLineStart = true;
    Consume(line.data(), line.size());
    return true;
  }
  if (phase != Phase::kHeader) {
    std::string line;
    line.swap(hold);
    Emit(frames.size() - 1, line.data(), line.size(), false);
    atLineStart = line.back() == '\n';
    return true;
  }
  LineKind kind = classifier.Feed(hold.data(), hold.size(), atEnd);
  if (kind == LineKind::kUndecided) {
    if (hold.size() < moxxml_mime::kMaxHeaderBytes) return false;
    kind = LineKind::kOther;
  }
  classifier.Reset();
  std::string line;
  line.swap(hold);
  switch (kind) {
    case LineKind::kField:
    case LineKind::kContinuation:
    case LineKind::kEnvelope: {
      const std::size_t used = FeedHeader(line.data(), line.size());
      if (used < line.size()) {
        // Header size limit reached inside the line: the rest is body.
        atLineStart = false;
        Consume(line.data() + used, line.size() - used);
      } else {
        atLineStart = line.back() == '\n';
      }
      return true;
    }
    case LineKind::kBlank: {
      const std::size_t blank = (line.size() >= 2 && line[0] == '\r' && line[1] == '\n') ? 2 : 1;
      MIMEEntityDescription* description = Top().description.get();
      FeedHeader(line.data(), blank);
      if (!description->IsFinalized()) {
        // A lone CR: the description cannot tell it from the start of CRLF.
        description->FinishHeader();
        FlushPending();
        OnHeaderEnd();
      }
      atLineStart = true;
      if (line.size() > blank) Consume(line.data() + blank, line.size() - blank);
      return true;
    }
    default:
      Top().description->FinishHeader();
      FlushPending();
      OnHeaderEnd();
      atLineStart = true;
      Consume(line.data(), line.size());
      return true;
  }
}

void MIMEMessageParser::State::Consume(const char* data, std::size_t length) {
  while (length > 0) {
    if (!hold.empty() || (atLineStart && NeedsDecision(data, length))) {
      const auto* lf = static_cast<const char*>(std::memchr(data, '\n', length));
      const std::size_t take = lf ? static_cast<std::size_t>(lf - data) + 1 : length;
      hold.append(data, take);
      data += take;
      length -= take;
      Decide(false);
      continue;
    }
    atLineStart = false;
    const std::size_t top = frames.size() - 1;
    if (frames[top].phase == Phase::kHeader) {
      // The rest of a header line whose kind is decided.
      const auto* lf = static_cast<const char*>(std::memchr(data, '\n', length));
      const std::size_t take = lf ? static_cast<std::size_t>(lf - data) + 1 : length;
      const std::size_t used = FeedHeader(data, take);
      data += used;
      length -= used;
      if (used == take && lf) atLineStart = true;
      continue;
    }
    // Body bytes: whole lines in one run, up to a line that could be a delimiter.
    const char* run = data;
    const char* end = data + length;
    const char* at = data;
    for (;;) {
      const auto* lf = static_cast<const char*>(std::memchr(at, '\n', end - at));
      if (lf == nullptr) {
        at = end;
        break;
      }
      at = lf + 1;
      if (at == end) {
        atLineStart = true;
        break;
      }
      if (listening > 0 && *at == '-') {
        atLineStart = true;
        break;
      }
    }
    Emit(top, run, at - run, false);
    length -= at - run;
    data = at;
  }
}

MIMEMessageParser::MIMEMessageParser(MIMEOutputTarget& target) : state(new State(target)) {
  Frame top;
  top.description = std::make_unique<MIMEEntityDescription>(0);
  state->frames.push_back(std::move(top));
}

MIMEMessageParser::~MIMEMessageParser() = default;

int MIMEMessageParser::Update(const char* data, int length) {
  if (state->broken) return MIME_PARSER_ERR_BROKEN;
  if (state->finished) return MIME_PARSER_ERR_FINISHED;
  if (length < 0 || (data == nullptr && length > 0)) return MIME_PARSER_ERR_INVALID_ARGUMENT;
  state->broken = true;
  state->Consume(data, static_cast<std::size_t>(length));
  state->broken = false;
  return MIME_PARSER_OK;
}

int MIMEMessageParser::Final() {
  if (state->broken) return MIME_PARSER_ERR_BROKEN;
  if (state->finished) return MIME_PARSER_ERR_FINISHED;
  state->broken = true;
  while (!state->hold.empty()) state->Decide(true);
  while (!state->frames.empty()) state->CloseTop();
  state->finished = true;
  state->broken = false;
  return MIME_PARSER_OK;
}
