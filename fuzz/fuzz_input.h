#pragma once
// Reads a fuzzer's byte string as a sequence of small decisions. Reading past the end
// yields zeros, so every input, however short, decodes to something.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

  bool Empty() const { return m_pos >= m_size; }
  std::size_t Remaining() const { return Empty() ? 0 : m_size - m_pos; }

  std::uint8_t Byte() { return Empty() ? 0 : m_data[m_pos++]; }
  bool Bool() { return (Byte() & 1) != 0; }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  // A value in [0, n) for n > 0.
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : (n <= 256 ? Byte() % n : U32() % n); }

  // Up to `maxLength` raw bytes, the length read first. NUL bytes are kept: callers that
  // need C strings cut at the first one, as a C reader would.
  std::string Bytes(std::size_t maxLength) {
    std::size_t length = Below(static_cast<std::uint32_t>(maxLength + 1));
    std::string out;
    while (out.size() < length && !Empty()) out.push_back(static_cast<char>(Byte()));
    return out;
  }
  // Everything that is left.
  std::string Rest() {
    std::string out(reinterpret_cast<const char*>(m_data + m_pos), Remaining());
    m_pos = m_size;
    return out;
  }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

}  // namespace fuzz
