// The DLL that needs_missing_dll imports; built away from the zoo, so that it is missing there.
#include "tests/plugins/ZooExport.h"

ZOO_EXPORT int MissingHelperAnswer() { return 0x5A4D4844; }
