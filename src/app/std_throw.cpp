// The standard library's throw helpers, for zqsetup.exe and zqfinalise.exe only. Its own throw a
// std::logic_error or std::runtime_error kin, whose text lives in the old reference-counted
// string: with them a program links that string's whole library code (40 KB). These throw
// zq::Error with the same text; every catch in both takes std::exception or a type of its own.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <typeinfo>

#include "base/error.h"

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* s) { throw zq::Error(s); }
void __throw_domain_error(const char* s) { throw zq::Error(s); }
void __throw_invalid_argument(const char* s) { throw zq::Error(s); }
void __throw_length_error(const char* s) { throw zq::Error(s); }
void __throw_out_of_range(const char* s) { throw zq::Error(s); }
void __throw_runtime_error(const char* s) { throw zq::Error(s); }
void __throw_range_error(const char* s) { throw zq::Error(s); }
void __throw_overflow_error(const char* s) { throw zq::Error(s); }
void __throw_underflow_error(const char* s) { throw zq::Error(s); }
void __throw_system_error(int e) { throw zq::Error(std::strerror(e)); }

// The library's messages take only %s, %zu and %%.
void __throw_out_of_range_fmt(const char* format, ...) {
  std::string text;
  va_list args;
  va_start(args, format);
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      text += va_arg(args, const char*);
      ++p;
    } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
      text += std::to_string(va_arg(args, std::size_t));
      p += 2;
    } else if (p[0] == '%' && p[1] == '%') {
      text += '%';
      ++p;
    } else {
      text += *p;
    }
  }
  va_end(args);
  throw zq::Error(text);
}

}  // namespace std

namespace __gnu_cxx {

// A windowed program has no console for the default handler's message, and the handler links
// in the whole C++ name demangler (about 46 KB): end at once instead.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
