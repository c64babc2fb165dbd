// The lock around the XML platform's initialisation and termination, and the hosts' guard.
#include <mutex>
#include <new>
#include <type_traits>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <moxxml/external/exception.h>
#include <moxxml/xml/codes.h>
#include <moxxml/xml/platform.h>

#include "xml/refusal.h"
#include "xml/xerces_raii.h"

namespace moxxml_internal {

namespace {

namespace xerces = XERCES_CPP_NAMESPACE;

// Xerces counts initialisations in a plain integer, so every Initialize and Terminate of the
// process goes through this lock. std::mutex is constant-initialised and trivially
// destroyed: no static constructor runs for it, and a host's static destructor may still
// serialise while the process exits.
std::mutex platformLock;
static_assert(std::is_trivially_destructible<std::mutex>::value,
              "the platform lock must outlive every static destructor of the process");

// Set once the platform's initialisation has run out of memory. Xerces can neither finish nor
// undo it then: its Terminate reads static data that was never set up, and without Terminate
// its count stays taken over half-built data. So the platform is left alone from then on.
bool platformLost = false;

}  // namespace

// Only the count and the start and stop need the lock. In between, Xerces 3.2 keeps its shared
// state (DOM implementation and its registry, message loaders, transcoding service, the local
// code page transcoder) as Initialize made it: read only, or behind Xerces' own mutexes (the
// registry's list, the code page converter). So documents are built and written without it.
void InitializePlatform(const char* where) {
  std::lock_guard<std::mutex> hold(platformLock);
  if (platformLost) ThrowCode(MoxXML::MOXXMLERR_OUT_OF_MEMORY, where);
  try {
    xerces::XMLPlatformUtils::Initialize();
  } catch (const xerces::OutOfMemoryException&) {
    platformLost = true;
    ThrowCode(MoxXML::MOXXMLERR_OUT_OF_MEMORY, where);
  } catch (const std::bad_alloc&) {
    platformLost = true;
    ThrowCode(MoxXML::MOXXMLERR_OUT_OF_MEMORY, where);
  } catch (const xerces::XMLException& e) {
    // No transcoder may be up to convert the message; Terminate balances the count that
    // Initialize took before it failed.
    xerces::XMLPlatformUtils::Terminate();
    throw MoxException(static_cast<int>(e.getCode()), where,
                       "The XML platform could not be initialised.");
  } catch (...) {
    xerces::XMLPlatformUtils::Terminate();
    ThrowCode(MoxXML::MOXXMLERR_UNKNOWN_EXCEPTION, where);
  }
}

void TerminatePlatform() {
  std::lock_guard<std::mutex> hold(platformLock);
  xerces::XMLPlatformUtils::Terminate();
}

}  // namespace moxxml_internal

namespace MoxXML {

MoxXMLPlatformGuard::MoxXMLPlatformGuard() {
  moxxml_internal::InitializePlatform("MoxXMLPlatformGuard::MoxXMLPlatformGuard");
}

MoxXMLPlatformGuard::~MoxXMLPlatformGuard() { moxxml_internal::TerminatePlatform(); }

}  // namespace MoxXML
