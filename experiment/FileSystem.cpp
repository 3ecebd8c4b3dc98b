#include "FileSystem.h"

FileSystem::~FileSystem() = default;
