#pragma once
// Pauses the cyclic garbage collector while a method builds millions of containers that cannot
// form cycles: otherwise each generation-0 pass rescans them, and building the result list
// becomes several times slower.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace host {

class GcPause {
public:
  GcPause() : was_enabled_(PyGC_Disable()) {}
  ~GcPause() {
    if (was_enabled_ > 0) PyGC_Enable();
  }
  GcPause(const GcPause &) = delete;
  GcPause &operator=(const GcPause &) = delete;

private:
  int was_enabled_;
};

} // namespace host
