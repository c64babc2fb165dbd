// Every operation that a gateway runs on a received message, with its 1st, 2nd, ... nth
// allocation failing until one run needs no more: each run must end in success, a
// MoxException or (only where no code is given for running out of memory) std::bad_alloc,
// must leave nothing allocated behind, and must leave the objects it worked on usable.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <new>
#include <string>
#include <sys/wait.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <moxxml/moxxml.h>

#include "external/mime/mime_test_util.h"
#include "memory/failing_allocator.h"

#if defined(__SANITIZE_ADDRESS__)
// Xerces is built without frame pointers: only the slow unwinder reaches the constructors that
// the suppressions name.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:xercesc_3_2::XMLStringTokenizer::XMLStringTokenizer\n"
         "leak:xercesc_3_2::DOMDocumentImpl::DOMDocumentImpl\n"
         "leak:xercesc_3_2::DOMLSSerializerImpl::DOMLSSerializerImpl\n"
         "leak:xercesc_3_2::XMLFormatter::XMLFormatter\n";
}
#endif

namespace {

using MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines;
using MoxXML::MoxMsg::MoxMsgMimePart;
using MoxXML::MoxMsg::MoxMsgPayload;
using moxxml_test::FailAllocation;

// Runs body with its nth allocation failing and writes how it ended into ending: "ok",
// "bad_alloc", or "code where: text" of a MoxException. ending has room reserved, so that
// writing it allocates nothing that the leak count would see.
void Failing(std::size_t nth, std::string& ending, const std::function<void()>& body) {
  FailAllocation(nth);
  try {
    body();
    FailAllocation(0);
    ending.assign("ok");
  } catch (const MoxException& e) {
    FailAllocation(0);
    ending.assign(std::to_string(e.GetResultCode()));
    ending.append(" ").append(e.GetWhere()).append(": ").append(e.GetText());
  } catch (const std::bad_alloc&) {
    FailAllocation(0);
    ending.assign("bad_alloc");
  }
}

// One operation: run(nth, ending) sets up (nothing fails), calls Failing for the operation
// under test, checks what that left and tears down.
struct Operation {
  const char* name;
  std::function<void(std::size_t nth, std::string& ending)> run;
  // How a failed run may end besides "ok" (prefixes); "bad_alloc" only where no code is
  // given for running out of memory.
  std::vector<std::string> endings;
};

// Constructors of Xerces-C++ 3.2 that leak what they allocated before when a later allocation
// of theirs fails (they have no cleanup for that case): the one of them on stack, or "". Each
// is reached through a call that the library must make in every Serialize. The leak checker
// of the sanitizer build skips the same (__lsan_default_suppressions below).
std::string KnownXercesLeak(const std::vector<std::string>& stack) {
  static const char* const kLeaking[] = {
      // DOMImplementationRegistry::getDOMImplementation, reading the feature list "Core"
      "xercesc_3_2::XMLStringTokenizer::XMLStringTokenizer(",
      // DOMImplementation::createDocument
      "xercesc_3_2::DOMDocumentImpl::DOMDocumentImpl(",
      // DOMImplementation::createLSSerializer
      "xercesc_3_2::DOMLSSerializerImpl::DOMLSSerializerImpl(",
      // DOMLSSerializer::write
      "xercesc_3_2::XMLFormatter::XMLFormatter(",
  };
  for (const std::string& function : stack) {
    for (const char* leaking : kLeaking) {
      if (function.compare(0, std::strlen(leaking), leaking) == 0) return leaking;
    }
  }
  return "";
}

// Runs the operation for n = first, first + 1, ..., last, stopping early at a run that
// completes without its nth allocation, and returns how often each ending came.
std::map<std::string, int> Sweep(const Operation& operation, std::size_t first = 1,
                                 std::size_t last = static_cast<std::size_t>(-1)) {
  std::map<std::string, int> seen;
  std::string ending;
  ending.reserve(4096);
  for (std::size_t nth = first; nth <= last; ++nth) {
    const std::size_t live = moxxml_test::LiveAllocations();
    operation.run(nth, ending);
    const bool hit = moxxml_test::FailureHit();
    if (moxxml_test::LiveAllocations() != live) {
      const std::vector<std::string> stack = moxxml_test::FailedAllocationStack();
      const std::string site = KnownXercesLeak(stack);
      if (site.empty()) {
        std::string where;
        for (std::size_t i = 0; i < stack.size() && i < 12; ++i) where += "\n  " + stack[i];
        ADD_FAILURE() << operation.name << ": leak at " << nth << ", failed in" << where;
      } else {
        ++seen["leaked by Xerces: " + site];
      }
    }
    ++seen[ending];
    if (!hit) {
      EXPECT_EQ(ending, "ok") << operation.name << " with nothing failing";
      break;
    }
    bool allowed = false;
    for (const std::string& prefix : operation.endings) {
      allowed = allowed || ending.compare(0, prefix.size(), prefix) == 0;
    }
    EXPECT_TRUE(allowed) << operation.name << ", allocation " << nth << ": " << ending;
  }
  return seen;
}

// Lists how the runs of an operation ended, for the test log.
void Report(const Operation& operation, const std::map<std::string, int>& seen) {
  std::printf("%s:\n", operation.name);
  for (const auto& [ending, count] : seen) std::printf("  %5d  %s\n", count, ending.c_str());
}

const std::string kMessage =
    moxxml_test::ReadFile(MOXXML_TEST_DATA "/messages/as2-mdn-rfc3798-1.eml");
const char kHeaders[] =
    "AS2-From: partner\r\nAS2-To: us\r\nMessage-ID: <1@partner>\r\n"
    "Content-Type: application/edifact; name=order.edi\r\n";

// Parses the sample MDN into target in pieces of feed bytes (0: whole).
void Capture(MDNAndPayloadMIMEOutputTarget& target, std::size_t feed) {
  MIMEMessageParser parser(target);
  moxxml_test::FeedInPieces(kMessage, feed, [&](const char* data, std::size_t length) {
    if (parser.Update(data, static_cast<int>(length)) != MIME_PARSER_OK) throw std::bad_alloc();
  });
  if (parser.Final() != MIME_PARSER_OK) throw std::bad_alloc();
}

struct Fixture {
  Fixture() : target(logger), context(MIMEInit()) {
    Capture(target, 0);
    MIMEParse(context, kHeaders, sizeof kHeaders - 1, 0, nullptr);
  }
  ~Fixture() { MIMEFree(context); }
  Fixture(const Fixture&) = delete;
  Fixture& operator=(const Fixture&) = delete;

  // Every section, every kind of content.
  void Fill(MoxMsgBuilder& builder) {
    builder.SetApplInfoName("gateway");
    builder.SetApplInfoStatus("ok");
    builder.SetTransportOrigin("https://partner.example/as2");
    builder.AddTransportProtocol("AS2", "1.2", kHeaders, context);
    builder.AddTransportProtocolHeaders(context);
    builder.AddTransportSecurityProtocol("S/MIME", "3.2", kHeaders, nullptr);
    builder.SetMsgInfoDirection("received");
    builder.SetMsgInfoOriginalFilename("Bestellung_M\xE4rz.edi");
    builder.SetDataLocationHost("host");
    builder.SetMsgInfoMime(&target);
    builder.SetPayload("UNB+UNOA:1+PARTNER+US'\r\nUNH+1+ORDERS:D:96A:UN'",
                       MoxXML::MoxMsg::MOXFILTER_BASE64);
  }

  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target;
  mime_header_context* context;
};

std::string Text(MoxMsgBuilder& builder) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  return xml;
}

const std::string kOutOfMemory = "Out of memory.";

TEST(AllocationFailure, BuilderFillCopyAndAssignment) {
  Fixture fixture;
  MoxMsgBuilder source;
  fixture.Fill(source);
  // The platform is held so that checking texts does not start and stop it every time.
  MoxXML::MoxXMLPlatformGuard platform;
  const std::string expected = Text(source);
  const Operation kOperations[] = {
      {"fill a builder",
       [&](std::size_t nth, std::string& ending) {
         Failing(nth, ending, [&] {
           MoxMsgBuilder builder;
           fixture.Fill(builder);
         });
       },
       {"bad_alloc", "-1 : Out of memory.", "-2 : MIMEParse failed.",
        "9 MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs: " + kOutOfMemory,
        "9 MoxMsgMimePart::AppendHdrsHlpr: " + kOutOfMemory,
        "9 MoxMsgPayload::SetTagValue: " + kOutOfMemory}},
      {"copy a builder",
       [&](std::size_t nth, std::string& ending) {
         std::string copied;
         Failing(nth, ending, [&] {
           MoxMsgBuilder copy(source);
           FailAllocation(0);
           copied = Text(copy);
         });
         EXPECT_TRUE(ending != "ok" || copied == expected);
       },
       {"bad_alloc"}},
      {"assign a builder",
       [&](std::size_t nth, std::string& ending) {
         MoxMsgBuilder target;
         target.SetApplInfoName("before");
         const std::string before = Text(target);
         Failing(nth, ending, [&] { target = source; });
         // Assignment is all or nothing.
         EXPECT_EQ(Text(target), ending == "ok" ? expected : before) << nth;
       },
       {"bad_alloc"}},
  };
  for (const Operation& operation : kOperations) Report(operation, Sweep(operation));
  EXPECT_EQ(Text(source), expected);
}

// Allocations of the XML platform's initialisation and termination when nothing else holds
// it.
std::size_t PlatformInitialisation() {
  FailAllocation(static_cast<std::size_t>(-1));
  MoxXML::MoxXMLPlatformGuard platform;
  FailAllocation(0);
  return moxxml_test::AllocationsCounted();
}

std::size_t PlatformTermination() {
  {
    MoxXML::MoxXMLPlatformGuard platform;
    FailAllocation(static_cast<std::size_t>(-1));
  }
  FailAllocation(0);
  return moxxml_test::AllocationsCounted();
}

// Serialize converts every failure to code 9, those of the XML library included, and the
// next call gives the whole text. Xerces-C++ cannot take a failure inside its platform's
// initialisation (see the death test below) nor its termination (which allocates while it
// tears down, inside destructors, and so ends the process), so a call that starts and stops
// the platform itself is swept between the two; under a platform that the host holds, where
// Serialize allocates nothing for the platform, every allocation is swept.
TEST(AllocationFailure, Serialize) {
  Fixture fixture;
  MoxMsgBuilder builder;
  fixture.Fill(builder);
  const std::string expected = Text(builder);
  const std::string kSerialize = "9 MoxXMLObject::Serialize: " + kOutOfMemory;
  const Operation operation = {"Serialize",
                               [&](std::size_t nth, std::string& ending) {
                                 std::string xml, diagnostics;
                                 Failing(nth, ending,
                                         [&] { builder.Serialize(xml, diagnostics, false); });
                                 EXPECT_EQ(xml, ending == "ok" ? expected : "");
                                 EXPECT_EQ(Text(builder), expected);
                               },
                               {kSerialize}};
  const std::size_t initialisation = PlatformInitialisation();
  const std::size_t termination = PlatformTermination();
  FailAllocation(static_cast<std::size_t>(-1));
  Text(builder);
  FailAllocation(0);
  const std::size_t whole = moxxml_test::AllocationsCounted();
  ASSERT_GT(whole, initialisation + termination);
  std::printf(
      "Serialize: %zu allocations, of which %zu initialise and %zu terminate the platform\n", whole,
      initialisation, termination);
  Report(operation, Sweep(operation, initialisation + 1, whole - termination));
  MoxXML::MoxXMLPlatformGuard platform;
  Report(operation, Sweep(operation));
}

// The death test's child: 0 when a Serialize whose nth allocation fails, and a later
// initialisation, both end in code 9.
int InitialiseFailing(std::size_t nth) {
#if defined(__SANITIZE_ADDRESS__)
  // Xerces' panic exits through atexit, where the leak check would report the half-built
  // platform.
  __lsan_disable();
#endif
  MoxXML::MoxMsg::MoxMsgRootElement root;
  std::string ending;
  ending.reserve(256);
  Failing(nth, ending, [&] { root.Serialize(nullptr, nullptr, false, nullptr, nullptr); });
  const bool first = ending == "9 MoxXMLObject::Serialize: " + kOutOfMemory;
  Failing(0, ending, [&] { MoxXML::MoxXMLPlatformGuard again; });
  return first && ending == "9 MoxXMLPlatformGuard::MoxXMLPlatformGuard: " + kOutOfMemory ? 0 : 1;
}

// Inside the platform's initialisation, Xerces either throws OutOfMemoryException with its
// static data half built, or calls its panic handler, whose default ends the process with
// exit(-1). The first ends the call in code 9, and every later initialisation too, without
// touching the half-built platform again (its Terminate would crash); the second cannot be
// caught. Each case runs in a process of its own, every 61st allocation, without the leak
// check, since the half-built platform keeps what it got.
TEST(AllocationFailureDeathTest, PlatformInitialisationEndsInCode9OrInXercesPanic) {
  const std::size_t initialisation = PlatformInitialisation();
  int refused = 0, panicked = 0;
  auto expected = [&](int status) {
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    const bool panic = WIFEXITED(status) && WEXITSTATUS(status) == 255;
    refused += ok;
    panicked += panic;
    return ok || panic;
  };
  for (std::size_t nth = 1; nth <= initialisation; nth += 61) {
    EXPECT_EXIT(std::_Exit(InitialiseFailing(nth)), expected, "") << "allocation " << nth;
  }
  std::printf(
      "platform initialisation: %zu allocations, %d refused with code 9, %d Xerces panics\n",
      initialisation, refused, panicked);
  EXPECT_GT(refused, 0);
}

// The received message: parsed into the capture target, the target copied, and its tree
// turned into elements, alone and through the builder.
TEST(AllocationFailure, CaptureAndMimeTree) {
  Fixture fixture;
  const std::string kTree = moxxml_test::DumpTree(fixture.target.GetRootNode());
  const std::string kFields =
      moxxml_test::Flatten(fixture.target.GetMDNPayload().GetMIMEHEADERCTX());
  const std::string kHlpr = "9 MoxMsgMimePart::AppendHdrsHlpr: " + kOutOfMemory;
  const std::string kHdrs =
      "9 MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs: " + kOutOfMemory;
  const Operation kOperations[] = {
      {"parse into the capture target, whole",
       [&](std::size_t nth, std::string& ending) {
         LoggerInterface logger;
         MDNAndPayloadMIMEOutputTarget target(logger);
         Failing(nth, ending, [&] { Capture(target, 0); });
         EXPECT_TRUE(ending != "ok" || moxxml_test::DumpTree(target.GetRootNode()) == kTree);
       },
       {"bad_alloc"}},
      {"parse into the capture target, 7 bytes a call",
       [&](std::size_t nth, std::string& ending) {
         LoggerInterface logger;
         MDNAndPayloadMIMEOutputTarget target(logger);
         Failing(nth, ending, [&] { Capture(target, 7); });
         EXPECT_TRUE(ending != "ok" ||
                     moxxml_test::Flatten(target.GetMDNPayload().GetMIMEHEADERCTX()) == kFields);
       },
       {"bad_alloc"}},
      {"copy the capture target",
       [&](std::size_t nth, std::string& ending) {
         Failing(nth, ending, [&] { MDNAndPayloadMIMEOutputTarget copy(fixture.target); });
       },
       {"bad_alloc"}},
      {"MoxMsgMimePart::AppendHdrs",
       [&](std::size_t nth, std::string& ending) {
         MoxMsgMimePart part;
         Failing(nth, ending, [&] { part.AppendHdrs(&fixture.target); });
       },
       {kHlpr, kHdrs}},
      {"SetMsgInfoMime",
       [&](std::size_t nth, std::string& ending) {
         MoxMsgBuilder builder;
         builder.SetMsgInfoMime(&fixture.target);  // the sections exist; a second part is added
         Failing(nth, ending, [&] { builder.SetMsgInfoMime(&fixture.target); });
       },
       {"bad_alloc", kHlpr, kHdrs}},
      {"AppendHdrs of a header context",
       [&](std::size_t nth, std::string& ending) {
         MoxMsgElementWithMIMEHEADERCTXHeaderRoutines element;
         Failing(nth, ending, [&] { element.AppendHdrs(fixture.context); });
       },
       {kHdrs}},
  };
  for (const Operation& operation : kOperations) Report(operation, Sweep(operation));
}

// Payload encoding and decoding, whose failures are code 9 and leave the stored text as it
// was.
TEST(AllocationFailure, PayloadFilters) {
  const std::string kText(3000, 'x');
  const struct {
    MoxXML::MoxMsg::MOXFILTER_TYPES type;
    const char* name;
  } kTypes[] = {{MoxXML::MoxMsg::MOXFILTER_BASE64, "base64"},
                {MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE, "quoted-printable"},
                {MoxXML::MoxMsg::MOXFILTER_NONE, "none"}};
  for (const auto& type : kTypes) {
    const Operation kOperations[] = {
        {type.name,
         [&](std::size_t nth, std::string& ending) {
           MoxMsgPayload payload;
           payload.SetFilterType(type.type);
           payload.SetTagValue("before");
           const std::string stored = payload.GetTagValueForSerialization();
           Failing(nth, ending, [&] { payload.SetTagValue(kText); });
           EXPECT_EQ(payload.GetTagValue(), ending == "ok" ? kText : "before");
           EXPECT_TRUE(ending == "ok" || payload.GetTagValueForSerialization() == stored);
         },
         {"9 MoxMsgPayload::SetTagValue: " + kOutOfMemory}},
        {type.name,
         [&](std::size_t nth, std::string& ending) {
           MoxMsgPayload payload;
           payload.SetFilterType(type.type);
           payload.SetTagValue(kText);
           const std::string* read = nullptr;
           Failing(nth, ending, [&] { read = &payload.GetTagValue(); });
           EXPECT_TRUE(ending != "ok" || *read == kText);
         },
         {"9 MoxMsgPayload::GetTagValue: " + kOutOfMemory}},
    };
    for (const Operation& operation : kOperations) Report(operation, Sweep(operation));
  }
}

}  // namespace
