#pragma once

#include <string_view>

#include "ByteSource.h"

// Content already in memory; it must outlive the source.
class StringByteSource : public ByteSource {
  public:
    explicit StringByteSource(std::string_view content) : m_rest(content) {}

    long read(char* buffer, std::size_t size) override;

  private:
    std::string_view m_rest;
};
