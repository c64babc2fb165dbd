// ObjectLock, LockedWithGil, LockedWithoutGil: keep one wrapped C++ object to one thread at a
// time, also while a call on it runs without the GIL.
#pragma once

#include <mutex>
#include <pybind11/pybind11.h>

namespace moxxml_python {

// The C++ objects behind Builder and Parser are used by one thread at a time. Calls that
// release the GIL would let a second Python thread in; this mutex keeps it out. It is never
// waited for while the GIL is held, since its holder may need the GIL to finish.
class ObjectLock {
 public:
  std::mutex mutex;
};

// For work done with the GIL held: takes the lock at once when it is free, otherwise waits
// for it with the GIL released and takes the GIL back afterwards.
class LockedWithGil {
 public:
  explicit LockedWithGil(ObjectLock& lock) : hold(lock.mutex, std::try_to_lock) {
    if (!hold.owns_lock()) {
      pybind11::gil_scoped_release released;
      hold.lock();
    }
  }

 private:
  std::unique_lock<std::mutex> hold;
};

// For work done without the GIL: releases it, then takes the lock. Destruction unlocks before
// the GIL is taken back.
class LockedWithoutGil {
 public:
  explicit LockedWithoutGil(ObjectLock& lock) : hold(lock.mutex) {}

 private:
  pybind11::gil_scoped_release released;
  std::lock_guard<std::mutex> hold;
};

}  // namespace moxxml_python
