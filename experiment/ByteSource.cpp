#include "ByteSource.h"

ByteSource::~ByteSource() = default;
