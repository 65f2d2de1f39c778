#include "scanner/Entry.h"

int main(int argc, char** argv) { return RunScanner(std::vector<std::string>(argv, argv + argc)); }
