#include "highs_library.hpp"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "text.hpp"

#if defined(__SANITIZE_ADDRESS__)
#define STANDIN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STANDIN_SANITIZED 1
#endif
#endif

namespace standin {
namespace {

constexpr const char* kHighsPathVariable = "GRB_STANDIN_HIGHS";
constexpr const char* kHighsLibraryName = "libhighs.so";
// Where highsbox puts HiGHS, relative to the site-packages directory that holds the stand-in
// at velkin_gurobi_standin/lib/.
constexpr const char* kHighsboxLibrary = "highsbox/highs_dist/lib/libhighs.so";
constexpr const char* kNotFoundFormat =
    "Gurobi stand-in: HiGHS could not be loaded (tried: %s); install it with `pip install highsbox`, "
    "or set GRB_STANDIN_HIGHS=/path/libhighs.so\n";

// HiGHS's calls to its own functions bind within it first. A process may hold another build
// of HiGHS loaded globally (a Python package that loads its own with RTLD_GLOBAL), whose
// functions of the same names take other layouts; bound to those, a solve would crash.
// AddressSanitizer refuses RTLD_DEEPBIND, so sanitizer builds go without it.
#if defined(RTLD_DEEPBIND) && !defined(STANDIN_SANITIZED)
constexpr int kOwnSymbolsFirst = RTLD_DEEPBIND;
#else
constexpr int kOwnSymbolsFirst = 0;
#endif

template <class F>
bool resolve(void* library, const char* symbol, F& function) {
  function = reinterpret_cast<F>(dlsym(library, symbol));
  return function != nullptr;
}

std::optional<HighsApi> resolve_api(void* library) {
  HighsApi api;
#define STANDIN_HIGHS_RESOLVE(member, symbol, result, parameters) \
  if (!resolve(library, symbol, api.member)) return std::nullopt;
  STANDIN_HIGHS_FUNCTIONS(STANDIN_HIGHS_RESOLVE)
#undef STANDIN_HIGHS_RESOLVE
  return api;
}

// Whether the site-packages directory can be read off `file` as it stands: an absolute path
// with no "." or ".." whose last three components (the file, lib/ and the package directory)
// are no symbolic links. Links further up lead to the same site-packages either way.
bool reads_as_it_stands(const std::filesystem::path& file) {
  if (!file.is_absolute() || file.lexically_normal() != file) return false;
  auto part = file;
  for (int level = 0; level < 3; ++level, part = part.parent_path()) {
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(part, ec)) || ec) return false;
  }
  return true;
}

// The site-packages directory that holds the stand-in package. Symbolic links are followed,
// so that a link named like Gurobi's library still finds HiGHS beside the real file; a path
// free of them is not resolved, which spares a readlink for each of its directories.
std::filesystem::path own_site_packages() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&highs_api), &info) == 0 || info.dli_fname == nullptr) return {};
  std::filesystem::path self = info.dli_fname;
  if (!reads_as_it_stands(self)) {
    std::error_code ec;
    self = std::filesystem::canonical(self, ec);
    if (ec) return {};
  }
  return self.parent_path().parent_path().parent_path();
}

// In a virtual environment that sees the base installation's packages,
// highsbox may live in the base site-packages: <home>/../lib/pythonX.Y/site-packages,
// with <home> read from the environment's pyvenv.cfg.
std::filesystem::path base_site_packages(const std::filesystem::path& site_packages) {
  const auto python_dir = site_packages.parent_path();  // lib/pythonX.Y
  std::ifstream config(python_dir.parent_path().parent_path() / "pyvenv.cfg");
  std::string line;
  while (std::getline(config, line)) {
    const std::string_view text = line;
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || trim(text.substr(0, equals)) != "home") continue;
    const std::filesystem::path home = trim(text.substr(equals + 1));
    return home.parent_path() / "lib" / python_dir.filename() / "site-packages";
  }
  return {};
}

// The library at `path` with its functions resolved; `tried` collects the paths that failed.
std::optional<HighsApi> open_at(const std::string& path, std::string& tried) {
  if (void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE | kOwnSymbolsFirst)) {
    if (auto api = resolve_api(library)) return api;
  }
  tried += tried.empty() ? path : ", " + path;
  return std::nullopt;
}

// The places are tried in order, each worked out only when the one before failed: an explicit
// GRB_STANDIN_HIGHS alone, so that a wrong path shows; else highsbox beside the stand-in, in
// the base installation's site-packages, then the loader's own search. HiGHS keeps worker
// threads, so it is never closed. The places tried are written to standard error at the first
// failure of the process only.
std::optional<HighsApi> open_api(bool& reported) {
  std::string tried;
  std::optional<HighsApi> api;
  if (const char* path = std::getenv(kHighsPathVariable); path != nullptr && *path != '\0') {
    api = open_at(path, tried);
  } else {
    const auto site_packages = own_site_packages();
    if (!site_packages.empty()) api = open_at((site_packages / kHighsboxLibrary).string(), tried);
    if (!api && !site_packages.empty()) {
      if (const auto base = base_site_packages(site_packages); !base.empty()) {
        api = open_at((base / kHighsboxLibrary).string(), tried);
      }
    }
    if (!api) api = open_at(kHighsLibraryName, tried);
  }
  if (!api && !reported) std::fprintf(stderr, kNotFoundFormat, tried.c_str());
  if (!api) reported = true;
  return api;
}

}  // namespace

// Opened once; a failed open is tried again at the next call, as the failure may pass (a file
// installed meanwhile, memory short for a moment).
const HighsApi* highs_api() {
  static std::mutex mutex;
  static std::optional<HighsApi> api;
  static bool reported = false;
  const std::scoped_lock lock(mutex);
  if (!api) api = open_api(reported);
  return api ? &*api : nullptr;
}

}  // namespace standin
