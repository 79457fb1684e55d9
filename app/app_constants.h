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

// Settings that more than one part of the program reads or writes.
// The folder a database file was last opened from.
inline constexpr char lastDatabaseFolder[] = "ChangeDefaults/lastOpenDirectory";
// The base URLs of the update server and of the help pages.
inline constexpr char updateServer[] = "CheckForUpdates/server";
inline constexpr char helpServer[] = "Help/server";

} // namespace AppKeys

namespace AppDefaults {

// The vbar (ml/g at 20 C) taken for a protein of unknown composition.
inline constexpr double vbar = 0.73;

} // namespace AppDefaults

#endif
