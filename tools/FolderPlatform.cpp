#include "FolderPlatform.h"

#include <cstdlib>

void FolderPlatform::exitProcess(int code) { std::exit(code); }
