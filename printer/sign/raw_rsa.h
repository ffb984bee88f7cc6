#pragma once
// Raw RSA-1024 on one block, by OpenSSL's big-number arithmetic.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "ead_record.h"

namespace signbema {

// A failure carrying the library's answer code.
struct SignError : std::runtime_error {
    SignError(int32_t code, const std::string &what) : std::runtime_error(what), code(code) {}
    int32_t code;
};

// block ^ exponent mod modulus. The modulus is 256 hexadecimal digits of an odd
// 1024-bit number; the exponent at most 256 digits. `secret` keeps the
// private exponent's arithmetic in constant time. A block not below the
// modulus is refused (kSignForeignBlock): it is no signature of this key.
Block rawPower(const Block &block, const std::string &modulusHex, const std::string &exponentHex,
               bool secret);

// A new key: modulus, private exponent and public exponent, 256 digits each.
struct KeyPair {
    std::string modulus, privateExponent, publicExponent;
};
KeyPair generateKeyPair();

} // namespace signbema
