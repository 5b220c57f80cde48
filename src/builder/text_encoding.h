// Which encoding the package's text is stored in. A package whose names and texts are all ASCII
// is written exactly as before; one that needs more is UTF-8 throughout and says so in the
// entry kTextEncodingEntry, which engines and tools look for before they read any text.
#pragma once

#include "builder/script_compiler.h"

namespace zq::builder {

// Looks at the entry names, the compiled script, the setup record and the text of the page
// files (the script is UTF-8 by then, whatever it was written in); when any of them is not
// ASCII, converts page files written in the legacy code page to UTF-8 and adds the encoding
// entry.
void SettleTextEncoding(CompileResult& result);

}  // namespace zq::builder
