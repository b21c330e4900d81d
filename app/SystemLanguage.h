// The system's default language id, which core::StartLanguage turns into the default interface
// language when the settings hold no language name.
#pragma once

#include <QLocale>
#include <cstdint>

namespace zelvo::app {

// The system default language id (primary language in bits 0-9, sub-language above). Windows
// reports it directly; elsewhere the system locale is mapped onto the same ids.
std::uint16_t SystemDefaultLanguageId();
std::uint16_t LanguageIdFromLocale(const QLocale& locale);

} // namespace zelvo::app
