// Default settings of the sanitizers for every program of the sanitizer
// build; the environment's settings still win.

extern "C" const char* __asan_default_options() { return "detect_leaks=1:check_initialization_order=1"; }

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

extern "C" const char* __lsan_default_options() { return "suppressions=" FL_LSAN_SUPPRESSIONS; }
