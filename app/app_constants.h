#ifndef APP_CONSTANTS_H
#define APP_CONSTANTS_H

// Names and values that several parts of the program share.
namespace AppKeys {

// Dynamic properties of the form fields. A written result clears USER_ENTRY
// and keeps its text in LAST_VALUE; a person's edit sets USER_ENTRY.
inline constexpr char userEntry[] = "USER_ENTRY";
inline constexpr char lastValue[] = "LAST_VALUE";

// Where the settings are kept.
inline constexpr char organisation[] = "KSQ/DLM";
inline constexpr char application[] = "Vornakel";

} // namespace AppKeys

namespace AppDefaults {

// The vbar (ml/g at 20 C) taken for a protein of unknown composition.
inline constexpr double vbar = 0.73;

} // namespace AppDefaults

#endif
