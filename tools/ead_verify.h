#pragma once
// tiv ead verify: checks the EAD record a signed file ends with.
#include <ostream>
#include <string>

namespace tivtool {

struct EadKey {
    std::string modulus;  // 256 hexadecimal digits
    std::string exponent; // the public exponent, in hexadecimal
};

// The program's own public key, the half of the driver's signing key.
EadKey programPublicKey();

// Exit codes of `tiv ead verify`.
enum EadVerdict { kEadValid = 0, kEadCannotCheck = 1, kEadInvalid = 3, kEadUnsigned = 4 };

// Checks `path` through the signing library (libsign_bema.so beside the
// platform library) and prints "valid", "invalid: reason" or "unsigned".
// Raises tiv::Error when the check cannot be made (no library, unreadable
// file, malformed key).
EadVerdict verifyEad(const std::string &path, const EadKey &key, std::ostream &out);

} // namespace tivtool
