#ifndef APP_INSPECTORCONTRACT_H
#define APP_INSPECTORCONTRACT_H

// What the module inspector (app/main_inspect.cpp) and the update check that
// runs it (AppQtScriptPlugin::inspect) agree on:
//   vornakel_inspect FILE_NAME
// with the module file's bytes on standard input, read as the program reads a
// module file (up to the first zero byte, one character per byte). It checks
// the syntax, evaluates the text and writes "ok" and two
// values (the name and the version), or "error" and why, one line each. A
// value is "s" and a string, "n" and a number, or "-" for none; the string,
// the number and why are percent-encoded.
#include "app/app_helperlimits.h"

namespace AppInspectorContract {

constexpr char program[] = "vornakel_inspect";

// OutOfMemory: the memory the runner gave it ran out (app/app_helperlimits.h).
enum class Exit { Done = 0, Usage = 2, OutOfMemory = AppHelperLimits::outOfMemoryExit };

constexpr char okLine[] = "ok";
constexpr char errorLine[] = "error";

// The limits of one inspection: its time (that of loading a module in the
// program), and the memory the evaluation may take beside the empty engine.
constexpr int defaultTimeMs = 5000;
constexpr int defaultMemoryMiB = 256;

} // namespace AppInspectorContract

#endif
