// Signing libraries that fail the driver: one lacks validateFile, the other
// refuses every signature. Each leaves a mark when generateEAD is called, so
// a test sees whether the driver got that far.
#include <cstdint>
#include <fstream>
#include <string>

#define VARIANT_EXPORT extern "C" __attribute__((visibility("default")))

VARIANT_EXPORT int32_t setLibType(int32_t) {
    return 0;
}
VARIANT_EXPORT int32_t genkkey(char *, char *, char *) {
    return -3;
}
VARIANT_EXPORT int32_t generateEAD(const char *fileName, const char *, const char *, char *,
                                   int32_t) {
    std::ofstream(std::string(fileName) + ".generateEAD-called") << "called";
    return -3;
}
#ifndef SIGN_VARIANT_WITHOUT_VALIDATE
VARIANT_EXPORT int32_t validateFile(const char *, const char *, const char *) {
    return -3;
}
#endif
