#pragma once
// A non-owning reference to a callable: one indirect call, no allocation. The referenced
// callable must outlive every call (pass lambdas directly as arguments).
#include <memory>
#include <type_traits>
#include <utility>

namespace wavesift::fst {

template <class Signature> class FunctionRef;

template <class R, class... Args> class FunctionRef<R(Args...)> {
public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
  FunctionRef(F &&f)
      : obj_(const_cast<void *>(static_cast<const void *>(std::addressof(f)))),
        call_([](void *obj, Args... args) -> R {
          return (*static_cast<std::remove_reference_t<F> *>(obj))(std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(obj_, std::forward<Args>(args)...); }

private:
  void *obj_;
  R (*call_)(void *, Args...);
};

} // namespace wavesift::fst
