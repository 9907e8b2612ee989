// The seven ways to load a trace: each calls its reader and wraps the record in a PyTrace.
#include "classes.hpp"
#include "host/binding.hpp"
#include "readers/fsdb/fsdb.hpp"
#include "readers/fst/fst.hpp"
#include "readers/shm/shm.hpp"
#include "readers/vcd/vcd.hpp"
#include "readers/vpd/vpd.hpp"
#include "readers/wlf/wlf.hpp"

namespace pymod {
namespace {

using Reader = wavesift::Result<wavesift::TraceData> (*)(const std::string &);

template <Reader Read, const char *Function, const char *Param>
PyObject *load(PyObject *, PyObject *const *args, Py_ssize_t nargs, PyObject *kw) {
  static const host::Params p{Function, {Param}};
  PyObject *a[1];
  std::string_view text;
  if (!host::bind(p, args, nargs, kw, a) || !host::arg_str(a[0], Param, text)) return nullptr;
  auto result = Read(std::string(text));
  if (!result.ok()) {
    // The whole message, NUL bytes included; bytes from a damaged file must not turn the
    // error into a decoding error.
    const std::string &m = result.error();
    PyObject *text =
        PyUnicode_DecodeUTF8(m.data(), static_cast<Py_ssize_t>(m.size()), "backslashreplace");
    if (text) {
      PyErr_SetObject(PyExc_ValueError, text);
      Py_DECREF(text);
    }
    return nullptr;
  }
  return wrap_trace(wavesift::share(std::move(result.value())));
}

wavesift::Result<wavesift::TraceData> parse_vcd_text(const std::string &text) {
  return wavesift::vcd::parse(text);
}

constexpr char kPath[] = "path", kData[] = "data";
constexpr char kVcd[] = "PyTrace.from_vcd", kVcdString[] = "PyTrace.from_vcd_string",
               kFst[] = "PyTrace.from_fst", kFsdb[] = "PyTrace.from_fsdb",
               kShm[] = "PyTrace.from_shm", kVpd[] = "PyTrace.from_vpd",
               kWlf[] = "PyTrace.from_wlf";

} // namespace

void add_loader_methods(std::vector<PyMethodDef> &m) {
  m.push_back(host::method<load<wavesift::vcd::from_file, kVcd, kPath>>(
      "from_vcd", "from_vcd(path)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<parse_vcd_text, kVcdString, kData>>(
      "from_vcd_string", "from_vcd_string(data)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<wavesift::fst::from_file, kFst, kPath>>(
      "from_fst", "from_fst(path)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<wavesift::fsdb::from_file, kFsdb, kPath>>(
      "from_fsdb", "from_fsdb(path)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<wavesift::shm::from_file, kShm, kPath>>(
      "from_shm", "from_shm(path)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<wavesift::vpd::from_file, kVpd, kPath>>(
      "from_vpd", "from_vpd(path)\n--\n\n", METH_STATIC));
  m.push_back(host::method<load<wavesift::wlf::from_file, kWlf, kPath>>(
      "from_wlf", "from_wlf(path)\n--\n\n", METH_STATIC));
}

} // namespace pymod
