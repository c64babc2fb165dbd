// MoxXMLPlatformGuard: lets a host hold the XML platform for as long as it likes.
#pragma once

#include <moxxml/export.h>

namespace MoxXML {

// Construction initialises the process-wide XML platform, destruction terminates it, both
// under the same lock as every Serialize call. While one guard is alive, Serialize shares its
// initialisation instead of starting and stopping the platform itself. Any number of guards
// may exist at once, on any threads, and a guard may be destroyed on another thread than the
// one that made it; the platform goes down with the last guard or Serialize call. A host that
// calls Xerces itself (GetXercesDOMRepresentation, its own parsers) may hold a guard instead of
// calling XMLPlatformUtils::Initialize. Construction throws MoxException when the platform
// cannot be initialised.
class MOXXML_EXPORT MoxXMLPlatformGuard {
 public:
  // Memory that runs out inside the platform's initialisation gives code 9, here and in every
  // later initialisation (Serialize's included): Xerces can neither finish nor undo a
  // half-built platform. A guard made at start-up spares Serialize that initialisation.
  MoxXMLPlatformGuard();
  ~MoxXMLPlatformGuard();
  MoxXMLPlatformGuard(const MoxXMLPlatformGuard&) = delete;
  MoxXMLPlatformGuard& operator=(const MoxXMLPlatformGuard&) = delete;
};

}  // namespace MoxXML
