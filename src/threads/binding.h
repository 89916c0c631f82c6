// Bindings: a method of an object made into a thread body, so that the
// thread pool can run its manager and workers, and the timer its loop, on
// threads of their own (create_thread takes a binding in place of a start
// routine).
//
// A class that binds lists its thread bodies by position in its method order
// in a static bindable_methods() (an empty entry for a method that cannot be a
// thread body). An object binds itself; it owns the binding and releases it.
// create_thread copies what the binding holds, so releasing a binding never
// affects a thread already created with it.
//
// Safe to use from any thread; a binding is not changed after it is made.
#ifndef NOVEL_THREADS_BINDING_H_
#define NOVEL_THREADS_BINDING_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

struct Binding {
  std::function<int32_t()> body;
};

// The largest forwarded-argument count a binding accepts; bodies take no
// argument, so nothing is ever forwarded.
inline constexpr int32_t kMaxForwardedArguments = 128;

namespace binding_detail {

template <class T>
using Method = void (T::*)();

template <class T>
Method<T> method_at(int32_t k, int32_t n) {
  const std::span<const Method<T>> methods = T::bindable_methods();
  if (n < 0 || n > kMaxForwardedArguments || k < 1 || static_cast<size_t>(k) > methods.size()) {
    return nullptr;
  }
  return methods[k - 1];
}

}  // namespace binding_detail

// A binding that runs method k (1 = first in T's method order) of `object`
// and answers 0; null when there is no such thread body or `n` lies outside
// 0 to 128. REQUIRES: `object` outlives every thread created with it.
template <class T>
Binding* bind_method(T* object, int32_t k, int32_t n) {
  const binding_detail::Method<T> method = binding_detail::method_at<T>(k, n);
  if (object == nullptr || method == nullptr) return nullptr;
  return new Binding{[object, method] {
    (object->*method)();
    return 0;
  }};
}

// As above for an object shared by reference count: a thread created with the
// binding holds the object alive while the method runs, and does nothing if
// the object is already gone when the thread starts.
template <class T>
Binding* bind_method(const std::shared_ptr<T>& object, int32_t k, int32_t n) {
  const binding_detail::Method<T> method = binding_detail::method_at<T>(k, n);
  if (object == nullptr || method == nullptr) return nullptr;
  return new Binding{[weak = std::weak_ptr<T>(object), method] {
    if (const std::shared_ptr<T> alive = weak.lock()) ((*alive).*method)();
    return 0;
  }};
}

// Frees a binding; nothing for null.
inline void release_binding(Binding* binding) { delete binding; }

#endif  // NOVEL_THREADS_BINDING_H_
