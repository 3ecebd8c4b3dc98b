#include "StringByteSource.h"

#include <algorithm>

long StringByteSource::read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, m_rest.size());
    m_rest.copy(buffer, n);
    m_rest.remove_prefix(n);
    return static_cast<long>(n);
}
