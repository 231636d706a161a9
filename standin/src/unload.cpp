// Runs the destructors of this library's static objects when dlclose unloads
// it. GCC's startup files do this for every shared library; other toolchains
// (Zig's, used for the portable wheels) do not, and the destructors would then
// run at process exit, after their code was unmapped. A second call (after
// GCC's) finds nothing left to run.
extern "C" {
extern void* __dso_handle;
void __cxa_finalize(void* dso);
}

namespace {

[[gnu::destructor]] void run_static_destructors() { __cxa_finalize(&__dso_handle); }

}  // namespace
