// Turnbell.exe is linked statically, and the C++ runtime's error paths would bring
// along far more than the program itself: the throw helpers below build exception
// objects with their own string implementation, and the default terminate handler
// carries a complete symbol demangler. The program catches no exception, so each of
// these paths ends the process in any case; here they end it at once, and the
// executable stays small. Only the executable links this file, never the tests.
#include <bits/functexcept.h>
#include <cstdlib>

namespace {
[[noreturn]] void fail() { std::abort(); }
}

namespace __gnu_cxx {
void __verbose_terminate_handler() { fail(); }
}

namespace std {
void __throw_bad_exception() { fail(); }
void __throw_bad_alloc() { fail(); }
void __throw_bad_array_new_length() { fail(); }
void __throw_bad_cast() { fail(); }
void __throw_bad_typeid() { fail(); }
void __throw_logic_error(const char*) { fail(); }
void __throw_domain_error(const char*) { fail(); }
void __throw_invalid_argument(const char*) { fail(); }
void __throw_length_error(const char*) { fail(); }
void __throw_out_of_range(const char*) { fail(); }
void __throw_out_of_range_fmt(const char*, ...) { fail(); }
void __throw_runtime_error(const char*) { fail(); }
void __throw_range_error(const char*) { fail(); }
void __throw_overflow_error(const char*) { fail(); }
void __throw_underflow_error(const char*) { fail(); }
}
