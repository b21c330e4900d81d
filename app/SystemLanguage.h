// The default interface language, taken from the system's default language id when the settings
// hold no language name.
#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>

namespace zelvo::app {

// The system default language id (primary language in bits 0-9, sub-language above). Windows
// reports it directly; elsewhere the system locale is mapped onto the same ids.
std::uint16_t SystemDefaultLanguageId();
std::uint16_t LanguageIdFromLocale(const QLocale& locale);

// "CHT" for 0x0404, "CHS" for other Chinese, "JAP" for Japanese, "ENG" for anything else.
QString DefaultLanguageName(std::uint16_t languageId);

} // namespace zelvo::app
