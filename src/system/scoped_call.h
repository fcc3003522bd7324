// Pairs of calls that must match: the first now, the second on every way out of the scope.
#pragma once

namespace corvane {

// Calls `Begin` on `object` when made and `End` when destroyed; for instance a wait cursor
// shown for as long as a long operation runs, whichever way it ends.
template <typename T, void (T::*Begin)(), void (T::*End)()>
class ScopedCall {
 public:
  explicit ScopedCall(T& object) : object_(object) { (object_.*Begin)(); }
  ~ScopedCall() { (object_.*End)(); }
  ScopedCall(const ScopedCall&) = delete;
  ScopedCall& operator=(const ScopedCall&) = delete;

 private:
  T& object_;
};

}  // namespace corvane
