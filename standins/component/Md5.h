#pragma once
// MD5 (RFC 1321), fed piece by piece so that files of any size go through a fixed buffer.
#include <cstddef>
#include <cstdint>

class Md5 {
public:
    Md5();
    void Update(const void* data, size_t size);
    // The 16 digest bytes; the object must not be updated afterwards.
    void Final(uint8_t digest[16]);

private:
    void Transform(const uint8_t block[64]);
    uint32_t m_state[4];
    uint64_t m_bytes;
    uint8_t m_buffer[64];
};
