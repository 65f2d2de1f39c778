// The DLL that needs_missing_dll imports; built away from the zoo, so that it is missing there.
extern "C" __declspec(dllexport) int MissingHelperAnswer() { return 0x5A4D4844; }
