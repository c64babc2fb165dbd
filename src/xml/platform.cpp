// The lock around the XML platform's initialisation and termination, and the hosts' guard.
#include <mutex>
#include <new>

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
// destroyed: no static constructor or destructor runs for it.
std::mutex platformLock;

// Set once the platform's initialisation has run out of memory. Xerces can neither finish nor
// undo it then: its Terminate reads static data that was never set up, and without Terminate
// its count stays taken over half-built data. So the platform is left alone from then on.
bool platformLost = false;

}  // namespace

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
