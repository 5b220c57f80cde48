// System facts and time.
#pragma once

#include <cstdint>
#include <string>

namespace zq::platform {

// The system default language identifier (LANGID). Host: from the locale (LC_ALL,
// LC_MESSAGES, LANG), 0x0409 when it names no language the table knows.
std::uint16_t SystemDefaultLangId();
// The LANGID for a POSIX locale name ("de_CH.UTF-8", "pt_BR@euro", "fr"); a language
// alone gives its main country; 0x0409 for "C", "POSIX" and names the table lacks.
std::uint16_t LangIdFromLocaleName(const std::string& locale);
std::uint32_t TickCountMs();
void SleepMs(std::uint32_t ms);

}  // namespace zq::platform
