// Exists only to be loaded by path.
extern "C" __declspec(dllexport) int ProbeAnswer() {
    return 42;
}
