// Every operation that a gateway runs on a received message, with its 1st, 2nd, ... nth
// allocation failing until one run needs no more: each run must end in success, a MoxException
// or (only where no code is given for running out of memory) std::bad_alloc, must leave nothing
// allocated behind, and must leave the objects it worked on usable. The binary replaces the
// global operator new, through which the suite, the library, libstdc++ and Xerces allocate.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <type_traits>
#include <vector>

#include <xercesc/util/PlatformUtils.hpp>

#include <moxxml/moxxml.h>

#include "external/mime/mime_test_util.h"
#include "support/full_document.h"
#include "support/parsed_xml.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// Constructors of Xerces-C++ 3.2 that leak what they got when a later allocation of theirs
// fails; every Serialize reaches each of them. Xerces is built without frame pointers: only the
// slow unwinder reaches the constructors.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:xercesc_3_2::XMLStringTokenizer::XMLStringTokenizer\n"
         "leak:xercesc_3_2::DOMDocumentImpl::DOMDocumentImpl\n"
         "leak:xercesc_3_2::DOMLSSerializerImpl::DOMLSSerializerImpl\n"
         "leak:xercesc_3_2::XMLFormatter::XMLFormatter\n";
}
#endif

namespace {

// Allocations counted since the last arming, the one to fail (0: none), blocks not yet freed.
// One thread allocates while a failure is armed, so nothing is locked.
std::size_t counted = 0, failAt = 0, live = 0;

// From now on the nth allocation fails once (1: the next one); 0 disarms and keeps the count.
void FailAllocation(std::size_t nth) {
  if (nth != 0) counted = 0;
  failAt = nth;
}

void* Allocate(std::size_t size) noexcept {
  if (failAt != 0 && ++counted == failAt) return nullptr;
  void* block = std::malloc(size == 0 ? 1 : size);
  live += block != nullptr;
  return block;
}

}  // namespace

// The aligned forms stay the runtime's: nothing here is over-aligned.
void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept {
  live -= block != nullptr;
  std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, std::size_t) noexcept { operator delete(block); }
void operator delete[](void* block, std::size_t) noexcept { operator delete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete(block); }

namespace {

using MoxXML::MoxMsg::MoxMsgPayload;

const std::string kOutOfMemory = "Out of memory.";
const std::string kHdrs = "9 MoxMsgElementWithMIME_CTXHeaderRoutines::AppendHdrs: " + kOutOfMemory;
const std::string kHlpr = "9 MoxMsgMimePart::AppendHdrsHlpr: " + kOutOfMemory;

// The allocation that Failing makes fail (0: none), and how the last Failing ended: "ok",
// "bad_alloc", or "code where: text" of a MoxException. Room for ending is reserved before a
// sweep, so that writing it allocates nothing that the leak count would see.
std::size_t failing = 0;
std::string ending;

void Failing(const std::function<void()>& body) {
  FailAllocation(failing);
  try {
    body();
    FailAllocation(0);
    ending.assign("ok");
  } catch (const MoxException& e) {
    FailAllocation(0);
    ending.assign(std::to_string(e.GetResultCode())).append(" ").append(e.GetWhere());
    ending.append(": ").append(e.GetText());
  } catch (const std::bad_alloc&) {
    FailAllocation(0);
    ending.assign("bad_alloc");
  }
}

// run() sets up (nothing fails), calls Failing for the operation under test, checks what that
// left and tears down. endings: the prefixes a failed run may end with.
struct Operation {
  std::string name;
  std::function<void()> run;
  std::vector<std::string> endings;
  bool countLeaks = true;  // Serialize: Xerces' own leaks, left to LeakSanitizer's suppressions
};

// Runs the operation with its 1st, 2nd, ... allocation failing until a run needs no more.
void Sweep(const Operation& operation) {
  ending.reserve(4096);
  for (failing = 1;; ++failing) {
    const std::size_t before = live;
    operation.run();
    EXPECT_TRUE(!operation.countLeaks || live == before)
        << operation.name << ": leak at " << failing;
    if (counted < failing) break;
    bool allowed = false;
    for (const std::string& prefix : operation.endings) allowed |= ending.rfind(prefix, 0) == 0;
    EXPECT_TRUE(allowed) << operation.name << ", allocation " << failing << ": " << ending;
  }
  EXPECT_EQ(ending, "ok") << operation.name << " with nothing failing";
  EXPECT_GT(failing, 1u) << operation.name << " allocated nothing";
}

const char kHeaders[] =
    "AS2-From: partner\r\nAS2-To: us\r\nMessage-ID: <1@partner>\r\n"
    "Content-Type: application/edifact; name=order.edi\r\n";

// Parses the sample MDN into target in pieces of feed bytes (0: whole).
void Capture(MDNAndPayloadMIMEOutputTarget& target, std::size_t feed) {
  static const std::string message =
      moxxml_test::ReadFile(MOXXML_TEST_DATA "/messages/as2-mdn-rfc3798-1.eml");
  MIMEMessageParser parser(target);
  moxxml_test::FeedInPieces(message, feed, [&](const char* data, std::size_t length) {
    if (parser.Update(data, static_cast<int>(length)) != MIME_PARSER_OK) throw std::bad_alloc();
  });
  if (parser.Final() != MIME_PARSER_OK) throw std::bad_alloc();
}

// A captured MDN and a header context, and a builder document that uses them and every section.
struct Fixture {
  Fixture() : target(logger) {
    Capture(target, 0);
    MIMEParse(context.get(), kHeaders, sizeof kHeaders - 1, 0, nullptr);
  }
  void Fill(MoxMsgBuilder& builder) {
    moxxml_test::FillDocument(builder, 1, &target, context.get());
  }

  LoggerInterface logger;
  MDNAndPayloadMIMEOutputTarget target;
  std::unique_ptr<mime_header_context, decltype(&MIMEFree)> context{MIMEInit(), MIMEFree};
};

// The payload section as written, parsed back ("-" when there is none).
std::string WrittenPayload(MoxMsgBuilder& builder) {
  std::string xml, diagnostics;
  builder.Serialize(xml, diagnostics, false);
  const moxxml_test::ParsedNode document = moxxml_test::ParseXml(xml);
  const moxxml_test::ParsedNode* payload = document.Child("payload");
  return payload != nullptr ? payload->Outline() : "-";
}

// A copy is complete or throws without a leak, both of a builder whose sections are still
// detached (it leaked the sections it had cloned) and of one that Serialize attached them to;
// assignment is all or nothing.
TEST(AllocationFailure, BuilderFillCopyAndAssignment) {
  Fixture fixture;
  MoxMsgBuilder detached, attached;
  fixture.Fill(detached);
  fixture.Fill(attached);
  // The platform is held so that checking texts does not start and stop it every time.
  MoxXML::MoxXMLPlatformGuard platform;
  const std::string expected = moxxml_test::Written(attached);
  auto copying = [&](const char* name, const MoxMsgBuilder* source) -> Operation {
    return {name,
            [&, source] {
              std::string copied;
              Failing([&] {
                MoxMsgBuilder copy(*source);
                FailAllocation(0);
                copied = moxxml_test::Written(copy);
              });
              EXPECT_TRUE(ending != "ok" || copied == expected);
            },
            {"bad_alloc"}};
  };
  // The fill sets a payload first and replaces it last. SetPayload once selected the new
  // encoding before it encoded: a failure left the earlier text under the new "filter", or a
  // first payload empty.
  MoxMsgBuilder earlier, filled;
  earlier.SetPayload("earlier text", MoxXML::MoxMsg::MOXFILTER_NONE);
  filled.SetPayload(moxxml_test::PayloadOf(1), MoxXML::MoxMsg::MOXFILTER_BASE64);
  const std::string kEarlier = WrittenPayload(earlier), kFilled = WrittenPayload(filled);
  const Operation kOperations[] = {
      {"fill a builder",
       [&] {
         std::optional<MoxMsgBuilder> builder;
         bool earlierSet = false;
         Failing([&] {
           builder.emplace();
           builder->SetPayload("earlier text", MoxXML::MoxMsg::MOXFILTER_NONE);
           earlierSet = true;
           fixture.Fill(*builder);
         });
         if (builder) {
           EXPECT_EQ(WrittenPayload(*builder), ending == "ok" ? kFilled
                                               : earlierSet   ? kEarlier
                                                              : "-")
               << ending;
         }
       },
       {"bad_alloc", "-1 : Out of memory.", "-2 : MIMEParse failed.", kHdrs, kHlpr,
        "9 MoxMsgPayload::SetTagValue: " + kOutOfMemory}},
      copying("copy a detached builder", &detached),
      copying("copy an attached builder", &attached),
      {"assign a builder",
       [&] {
         MoxMsgBuilder target;
         target.SetApplInfoName("before");
         const std::string before = moxxml_test::Written(target);
         Failing([&] { target = detached; });
         EXPECT_EQ(moxxml_test::Written(target), ending == "ok" ? expected : before);
       },
       {"bad_alloc"}},
  };
  for (const Operation& operation : kOperations) Sweep(operation);
  EXPECT_EQ(moxxml_test::Written(detached), expected);
}

// Reads what no public member shows without moving a cursor: name, value, cursors, and the
// nodes of both lists by address (with addresses) or by content, children with their subtrees.
template <typename Base>
struct Inspected : Base {
  Inspected* Clone() const override { return new Inspected(*this); }

  std::string State(bool addresses) const {
    std::string state = this->tagName + "=" + this->tagValue + " cursors " +
                        std::to_string(this->childCursor) + "," +
                        std::to_string(this->attributeCursor);
    if constexpr (std::is_base_of_v<MoxMsgPayload, Base>) {
      state += " type " + std::to_string(this->GetFilterType());
    }
    auto node = [&](const MoxXML::MoxXMLObject* n) {
      return " " + (addresses ? std::to_string(reinterpret_cast<std::uintptr_t>(n)) + ":" : "") +
             n->GetTagName() + "=" + const_cast<MoxXML::MoxXMLObject*>(n)->GetTagValue();
    };
    for (const MoxXML::MoxXMLObject* a : this->attributes) state += node(a);
    for (const MoxXML::MoxXMLElement* c : this->children) {
      state += node(c) + "{";
      for (auto g = c->GetMoxXMLElementBeginIter(MoxXML::XMLNODE_ANY);
           g != c->GetMoxXMLElementEndIter(); ++g)
        state += node(*g);
      state += "}";
    }
    return state;
  }
};

// Names and values long enough to be allocated (the source's longer, so that copying them
// into the target allocates), attributes, a child with a child (a payload takes none), a
// decoded payload, and cursors away from the ends.
template <typename Element>
void Populate(Element& element, const std::string& tag) {
  constexpr bool kMessage = std::is_base_of_v<MoxXML::MoxMsg::MoxMsgElement, Element>;
  using Child = std::conditional_t<kMessage, MoxXML::MoxMsg::MoxMsgElement, MoxXML::MoxXMLElement>;
  using Attr = std::conditional_t<kMessage, MoxXML::MoxMsg::MoxMsgAttr, MoxXML::MoxXMLAttr>;
  const size_t longer = tag == "source" ? 3 : 1;
  element.SetTagName(tag + std::string(20 * longer, 'n'));
  element.MoxXML::MoxXMLObject::SetTagValue(tag + std::string(40 * longer, 'v'));
  element.AppendAttribute(new Attr(tag + "-attribute", std::string(30, 'a')));
  if constexpr (std::is_base_of_v<MoxMsgPayload, Element>) {
    element.SetFilterType(tag == "source" ? MoxXML::MoxMsg::MOXFILTER_BASE64
                                          : MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE);
    element.SetTagValue(tag + std::string(60, 'p'));
    element.GetTagValue();  // fills the decoding buffer
  } else {
    auto* child = new Child(tag + "-child" + std::string(20, 'c'), "c");
    child->AppendElement(new Child(tag + "-grandchild" + std::string(20, 'g'), ""));
    element.AppendElement(child);
    element.AppendElement(new Child(tag + "-second", std::string(30, 's')));
    element.GetNextChild();
  }
  element.GetNextAttribute();
}

// Assignment is all or nothing and leaks nothing: the element's once cloned the source's nodes
// first and then copied name and value, so a failed copy leaked the clones, and a failed value
// left the new name beside the old value and nodes. The payload's also copies its type (its
// defaulted form copied the decoding buffer after the element, where a failure left the new
// text and "filter" with the old type). Message elements' own assignment is the element's.
template <typename Element>
Operation Assigning(const std::string& name) {
  return {name,
          [] {
            Element source, target;
            Populate(source, "source");
            Populate(target, "target");
            const std::string before = target.State(true);
            Failing([&] { target = source; });
            // After a failure, the same nodes, unchanged.
            EXPECT_EQ(target.State(ending != "ok"), ending == "ok" ? source.State(false) : before);
          },
          {"bad_alloc"}};
}

TEST(AllocationFailure, ElementAssignment) {
  for (const Operation& operation :
       {Assigning<Inspected<MoxXML::MoxXMLElement>>("assign an element"),
        Assigning<Inspected<MoxXML::MoxMsg::MoxMsgElement>>("assign a message element"),
        Assigning<Inspected<MoxMsgPayload>>("assign a payload")})
    Sweep(operation);
}

// Serialize turns every failure, those of the XML library included, into code 9, and the next
// call gives the whole text. Xerces cannot take a failure inside its platform's initialisation
// (the death test below) nor its termination (it allocates inside destructors there), so the
// sweep runs under a held platform, where a call allocates just what it allocates between the
// two otherwise. A failure path that skipped or repeated the platform's termination shows in
// the platform's state.
TEST(AllocationFailure, Serialize) {
  namespace xerces = XERCES_CPP_NAMESPACE;
  Fixture fixture;
  MoxMsgBuilder builder;
  fixture.Fill(builder);
  const std::string expected = moxxml_test::Written(builder);
  {
    MoxXML::MoxXMLPlatformGuard platform;
    Sweep({"Serialize",
           [&] {
             std::string xml, diagnostics;
             Failing([&] { builder.Serialize(xml, diagnostics, false); });
             EXPECT_TRUE(ending == "ok" ? xml + diagnostics == expected : xml.empty()) << ending;
             EXPECT_EQ(moxxml_test::Written(builder), expected);
           },
           {"9 MoxXMLObject::Serialize: " + kOutOfMemory},
           false});
    EXPECT_NE(xerces::XMLPlatformUtils::fgMemoryManager, nullptr) << "terminated too often";
  }
  EXPECT_EQ(xerces::XMLPlatformUtils::fgMemoryManager, nullptr) << "left initialised";
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
  failing = nth;
  Failing([&] { root.Serialize(nullptr, nullptr, false, nullptr, nullptr); });
  const bool first = ending == "9 MoxXMLObject::Serialize: " + kOutOfMemory;
  failing = 0;
  Failing([&] { MoxXML::MoxXMLPlatformGuard again; });
  return first && ending == "9 MoxXMLPlatformGuard::MoxXMLPlatformGuard: " + kOutOfMemory ? 0 : 1;
}

// Inside the platform's initialisation, Xerces either throws OutOfMemoryException with its
// static data half built, or calls its panic handler, whose default ends the process with
// exit(-1). The first ends the call in code 9, and every later initialisation too, without
// touching the half-built platform again (its Terminate would crash); the second cannot be
// caught. Each case runs in a process of its own, every 61st allocation, without the leak
// check, since the half-built platform keeps what it got.
TEST(AllocationFailureDeathTest, PlatformInitialisationEndsInCode9OrInXercesPanic) {
  std::optional<MoxXML::MoxXMLPlatformGuard> platform;
  FailAllocation(static_cast<std::size_t>(-1));
  platform.emplace();
  FailAllocation(0);
  platform.reset();
  const std::size_t initialisation = counted;
  int refused = 0;
  auto expected = [&](int status) {
    refused += WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 255);
  };
  for (std::size_t nth = 1; nth <= initialisation; nth += 61) {
    EXPECT_EXIT(std::_Exit(InitialiseFailing(nth)), expected, "") << "allocation " << nth;
  }
  EXPECT_GT(refused, 0);
}

// The received message: parsed into the capture target, the target copied, and its tree
// turned into elements, alone and through the builder. Bad_alloc escaped from AppendHdrs and
// AppendHdrsHlpr once, where code 9 is given.
TEST(AllocationFailure, CaptureAndMimeTree) {
  Fixture fixture;
  const std::string captured = moxxml_test::DescribeCapture(fixture.target);
  auto parse = [&](std::size_t feed) -> Operation {
    return {"parse into the capture target, feed " + std::to_string(feed),
            [&, feed] {
              LoggerInterface logger;
              MDNAndPayloadMIMEOutputTarget target(logger);
              Failing([&] { Capture(target, feed); });
              EXPECT_TRUE(ending != "ok" || moxxml_test::DescribeCapture(target) == captured);
            },
            {"bad_alloc"}};
  };
  const Operation kOperations[] = {
      parse(0),
      parse(7),
      {"copy the capture target",
       [&] { Failing([&] { MDNAndPayloadMIMEOutputTarget copy(fixture.target); }); },
       {"bad_alloc"}},
      {"MoxMsgMimePart::AppendHdrs",
       [&] {
         MoxXML::MoxMsg::MoxMsgMimePart part;
         Failing([&] { part.AppendHdrs(&fixture.target); });
       },
       {kHlpr, kHdrs}},
      {"SetMsgInfoMime",
       [&] {
         MoxMsgBuilder builder;
         builder.SetMsgInfoMime(&fixture.target);  // then a second part is added
         Failing([&] { builder.SetMsgInfoMime(&fixture.target); });
       },
       {"bad_alloc", kHlpr, kHdrs}},
      {"AppendHdrs of a header context",
       [&] {
         MoxXML::MoxMsg::MoxMsgElementWithMIMEHEADERCTXHeaderRoutines element;
         Failing([&] { element.AppendHdrs(fixture.context.get()); });
       },
       {kHdrs}},
  };
  for (const Operation& operation : kOperations) Sweep(operation);
}

// Payload encoding and decoding under every filter: failures are code 9 (bad_alloc escaped
// from the filters once), and a failed SetTagValue leaves the stored text as it was.
TEST(AllocationFailure, PayloadFilters) {
  const std::string text(3000, 'x');
  const std::string kSet = "9 MoxMsgPayload::SetTagValue: " + kOutOfMemory;
  for (auto type : {MoxXML::MoxMsg::MOXFILTER_BASE64, MoxXML::MoxMsg::MOXFILTER_QUOTED_PRINTABLE,
                    MoxXML::MoxMsg::MOXFILTER_NONE}) {
    Sweep({"SetTagValue and GetTagValue, filter " + std::to_string(type),
           [&] {
             MoxMsgPayload payload;
             payload.SetFilterType(type);
             payload.SetTagValue("before");
             const std::string stored = payload.GetTagValueForSerialization();
             const std::string* read = nullptr;
             Failing([&] {
               payload.SetTagValue(text);
               read = &payload.GetTagValue();
             });
             const bool kept = ending == kSet;
             EXPECT_EQ(payload.GetTagValue(), kept ? "before" : text);
             EXPECT_TRUE(!kept || payload.GetTagValueForSerialization() == stored);
             EXPECT_TRUE(ending != "ok" || *read == text);
           },
           {kSet, "9 MoxMsgPayload::GetTagValue: " + kOutOfMemory}});
  }
}

}  // namespace
