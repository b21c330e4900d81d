#include "SystemLanguage.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zelvo::app {

std::uint16_t SystemDefaultLanguageId()
{
#ifdef _WIN32
    return GetSystemDefaultLangID();
#else
    return LanguageIdFromLocale(QLocale::system());
#endif
}

std::uint16_t LanguageIdFromLocale(const QLocale& locale)
{
    // Only the ids that choose a language file are told apart; every other language maps to
    // English (United States), which chooses the English file as any of them would.
    switch (locale.language()) {
    case QLocale::Chinese:
        switch (locale.territory()) {
        case QLocale::Taiwan:
            return 0x0404;
        case QLocale::HongKong:
            return 0x0C04;
        case QLocale::Singapore:
            return 0x1004;
        case QLocale::Macao:
            return 0x1404;
        default:
            return 0x0804;
        }
    case QLocale::Japanese:
        return 0x0411;
    default:
        return 0x0409;
    }
}

} // namespace zelvo::app
