#include "kesto_solver_gurobi/dynamic/api.hpp"

#include <dlfcn.h>

#include <cstdio>

namespace kesto::gurobi {
namespace {

// The loader's text as a byte string literal: printable ASCII kept, quotes and
// backslash escaped, everything else as \t \n \r or \xNN.
std::string quote_bytes(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"': out += "\\\""; break;
      case '\'': out += "\\'"; break;
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default:
        if (byte >= 0x20 && byte < 0x7F) {
          out.push_back(c);
        } else {
          char escaped[5];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
          out += escaped;
        }
    }
  }
  out.push_back('"');
  return out;
}

struct Renderer {
  std::string operator()(const load_error::DlOpen& e) const {
    return "DlOpen { source: " + quote_bytes(e.source) + " }";
  }
  std::string operator()(const load_error::DlOpenUnknown&) const { return "DlOpenUnknown"; }
  std::string operator()(const load_error::DlSym& e) const { return "DlSym { source: " + quote_bytes(e.source) + " }"; }
  std::string operator()(const load_error::InteriorZeroElements&) const { return "InteriorZeroElements"; }
};

std::optional<std::string> take_dlerror() {
  const char* text = dlerror();
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

// Looks one name up; a null address is a failure whether or not the loader
// explains it, since calling a null entry later would crash.
template <class Entry>
std::optional<LoadError> resolve(void* handle, const char* name, Entry& entry) {
  dlerror();
  void* address = dlsym(handle, name);
  if (address != nullptr) {
    entry = reinterpret_cast<Entry>(address);
    return std::nullopt;
  }
  if (auto text = take_dlerror()) return load_error::DlSym{std::move(*text)};
  return load_error::DlSym{std::string("symbol ") + name + " resolved to a null address"};
}

}  // namespace

std::string render(const LoadError& error) { return std::visit(Renderer{}, error); }

std::expected<GurobiApi, LoadError> GurobiApi::load(std::optional<std::string> path) {
  if (path && path->find('\0') < path->size() - 1) return std::unexpected(load_error::InteriorZeroElements{});
  void* handle = dlopen(path ? path->c_str() : nullptr, RTLD_LAZY | RTLD_LOCAL);
  if (handle == nullptr) {
    if (auto text = take_dlerror()) return std::unexpected(load_error::DlOpen{std::move(*text)});
    return std::unexpected(load_error::DlOpenUnknown{});
  }
  GurobiApi api(handle);
#define KESTO_GUROBI_RESOLVE_ENTRY(name) \
  if (auto error = resolve(handle, #name, api.name)) return std::unexpected(std::move(*error));
  KESTO_GUROBI_FUNCTIONS(KESTO_GUROBI_RESOLVE_ENTRY)
#undef KESTO_GUROBI_RESOLVE_ENTRY
  return api;
}

GurobiApi::GurobiApi(GurobiApi&& other) noexcept
    :
#define KESTO_GUROBI_MOVE_ENTRY(name) name(other.name),
      KESTO_GUROBI_FUNCTIONS(KESTO_GUROBI_MOVE_ENTRY)
#undef KESTO_GUROBI_MOVE_ENTRY
          handle_(other.handle_) {
  other.handle_ = nullptr;
}

GurobiApi::~GurobiApi() {
  if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace kesto::gurobi
