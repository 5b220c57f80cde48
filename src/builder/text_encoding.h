// Which encoding the package's text is stored in. A package whose names and texts are all ASCII
// is written exactly as before; one that needs more is UTF-8 throughout and says so in the
// entry kTextEncodingEntry, which engines and tools look for before they read any text.
#pragma once

#include "builder/script_compiler.h"

namespace zq::builder {

// Looks at the entry names, the compiled script, the setup record and the text of the page
// files; when any of them is not ASCII, converts what was read in the legacy code page (a
// script or page file that is not UTF-8) to UTF-8, brings the "SetupInfo" and
// "CompiledLines" entries up to date and adds the encoding entry.
void SettleTextEncoding(CompileResult& result);

}  // namespace zq::builder
