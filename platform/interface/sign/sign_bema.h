#pragma once
// The EAD signing library (sign_bema.dll, here libsign_bema.so) as its callers
// see it: four entry points under their plain names. Texts in are
// zero-terminated; hexadecimal texts may use either case.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Remembers the caller's library kind; the signature does not depend on it.
// Answers 0.
typedef int32_t (*SignSetLibTypeFn)(int32_t libType);

// A new 1024-bit key pair, each part as 256 upper-case hexadecimal digits
// followed by a NUL, so every buffer holds at least 257 characters: the
// modulus (key part A), the private exponent (key part B) and the public
// exponent (left-filled with zeros). Answers 0, or a negative code.
typedef int32_t (*SignGenKKeyFn)(char *modulus, char *privateExponent, char *publicExponent);

// Signs `fileName`: the MD5 digest of its content up to any EAD record it ends
// with, in the 128-byte block 0x10, digest, 111 bytes 0xFF, raised to
// `privateExponent` modulo `modulus` (256 hexadecimal digits each). The 256
// digits of the signature go into the first 256 characters of `signature`
// (no NUL is written). With `appendRecord` non-zero the file then ends with
// the one record "EAD" + those digits + CR LF, written atomically. Answers
// one of the kSign* codes.
typedef int32_t (*SignGenerateEadFn)(const char *fileName, const char *modulus,
                                     const char *privateExponent, char *signature,
                                     int32_t appendRecord);

// Checks the EAD record `fileName` ends with against the public key.
// Answers one of the kSign* codes.
typedef int32_t (*SignValidateFileFn)(const char *fileName, const char *modulus,
                                      const char *publicExponent);

#ifdef __cplusplus
}
#endif

// Answers of generateEAD and validateFile.
enum {
    kSignValid = 0,         // signed (generateEAD) or the signature matches (validateFile)
    kSignUnsigned = 1,      // the file ends with no EAD record
    kSignDigestDiffers = 2, // the record decodes, but to the digest of other content
    kSignForeignBlock = 3,  // the record does not decode to a signature block of this key
    kSignBadRecord = 4,     // an EAD line that is not "EAD" + 256 hexadecimal digits
    kSignFileError = -1,    // the file cannot be read or written
    kSignBadKey = -2,       // a key part that is not 256 hexadecimal digits (or a bad exponent)
    kSignCryptoError = -3   // the big-number arithmetic failed
};
