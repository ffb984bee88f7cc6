#pragma once
// The program's EAD signing key: a 1024-bit RSA key made for this program,
// as the signing library takes it (256 upper-case hexadecimal digits each).
// Its public half (this modulus, exponent 65537) is docs/ead_public_key.pem.
namespace tiv02000 {

extern const char kEadKeyPartA[]; // modulus
extern const char kEadKeyPartB[]; // private exponent

} // namespace tiv02000
