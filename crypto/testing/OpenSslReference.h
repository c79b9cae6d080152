#pragma once
// OpenSSL as the reference implementation the tests compare against.

#include <openssl/evp.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace reference {

inline std::vector<uint8_t> AesEcb(const uint8_t key[16], const std::vector<uint8_t>& in, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::vector<uint8_t> out(in.size() + 16);
    int length = 0;
    int tail = 0;
    bool ok = EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt ? 1 : 0) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
              EVP_CipherUpdate(ctx, out.data(), &length, in.data(), static_cast<int>(in.size())) == 1 &&
              EVP_CipherFinal_ex(ctx, out.data() + length, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok)
        throw std::runtime_error("OpenSSL AES-128-ECB failed");
    out.resize(static_cast<size_t>(length + tail));
    return out;
}

inline std::vector<uint8_t> Md5(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> digest(16);
    unsigned int size = 0;
    if (EVP_Digest(in.data(), in.size(), digest.data(), &size, EVP_md5(), nullptr) != 1 || size != 16)
        throw std::runtime_error("OpenSSL MD5 failed");
    return digest;
}

} // namespace reference
