#include "host/adodb/write_observer.h"

namespace tabrix::adodb {

namespace {
// A page runs on one thread from start to end, and a link is used by one
// thread at a time, so the request's watcher lives with the thread.
thread_local WriteObserver* current_observer = nullptr;
}  // namespace

WriteObserver* CurrentWriteObserver() { return current_observer; }

ScopedWriteObserver::ScopedWriteObserver(WriteObserver* observer) : previous_(current_observer) {
  current_observer = observer;
}

ScopedWriteObserver::~ScopedWriteObserver() { current_observer = previous_; }

}  // namespace tabrix::adodb
