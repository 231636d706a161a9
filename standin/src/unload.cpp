// Runs the destructors of this library's static objects when dlclose unloads
// it. GCC's startup files do this for every shared library, so a GCC build
// leaves it to them: each call walks every exit handler of the process, and a
// process that has loaded HiGHS holds thousands. Other toolchains (Zig's clang,
// used for the portable wheels) do not, and the destructors would then run at
// process exit, after their code was unmapped. Under a clang that links GCC's
// startup files the second call finds nothing left to run.
#if defined(__clang__) || !defined(__GNUC__)

extern "C" {
extern void* __dso_handle;
void __cxa_finalize(void* dso);
}

namespace {

[[gnu::destructor]] void run_static_destructors() { __cxa_finalize(&__dso_handle); }

}  // namespace

#endif
