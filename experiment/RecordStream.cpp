#include "RecordStream.h"

RecordStream::~RecordStream() = default;
