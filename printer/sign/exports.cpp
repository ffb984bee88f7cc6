// The four entry points of the signing library.
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "ead_record.h"
#include "raw_rsa.h"
#include "sign/sign_bema.h"
#include "signed_file.h"

#define SIGN_EXPORT extern "C" __attribute__((visibility("default")))

using namespace signbema;

namespace {

int32_t libType = 0;

template <typename Body> int32_t guarded(Body body) {
    try {
        return body();
    } catch (const SignError &e) {
        return e.code;
    } catch (const std::exception &) {
        return kSignCryptoError;
    }
}

} // namespace

SIGN_EXPORT int32_t setLibType(int32_t type) {
    libType = type;
    return kSignValid;
}

SIGN_EXPORT int32_t genkkey(char *modulus, char *privateExponent, char *publicExponent) {
    if (!modulus || !privateExponent || !publicExponent) return kSignBadKey;
    return guarded([&] {
        const KeyPair pair = generateKeyPair();
        for (const auto &[out, text] :
             {std::pair{modulus, &pair.modulus}, std::pair{privateExponent, &pair.privateExponent},
              std::pair{publicExponent, &pair.publicExponent}})
            std::memcpy(out, text->c_str(), text->size() + 1);
        return kSignValid;
    });
}

SIGN_EXPORT int32_t generateEAD(const char *fileName, const char *modulus,
                                const char *privateExponent, char *signature,
                                int32_t appendRecord) {
    if (!fileName || !modulus || !privateExponent) return kSignBadKey;
    return guarded([&] {
        const std::string file = readWhole(fileName);
        const Split split = splitRecord(file);
        std::string content(split.content);
        // The record is a line of its own: a last line without its end gets one,
        // and that end is part of what is signed.
        if (!content.empty() && content.back() != '\n') content += kLineEnd;

        const Block sealed = rawPower(sealBlock(md5(content)), modulus, privateExponent, true);
        const std::string digits = toHex(sealed.data(), sealed.size());
        if (signature) std::memcpy(signature, digits.data(), digits.size());
        if (appendRecord)
            replaceWhole(fileName,
                         content + std::string(kRecordTag) + digits + std::string(kLineEnd));
        return kSignValid;
    });
}

SIGN_EXPORT int32_t validateFile(const char *fileName, const char *modulus,
                                 const char *publicExponent) {
    if (!fileName || !modulus || !publicExponent) return kSignBadKey;
    return guarded([&] {
        const std::string file = readWhole(fileName);
        const Split split = splitRecord(file);
        if (split.malformedRecord) return static_cast<int32_t>(kSignBadRecord);
        if (!split.record) return static_cast<int32_t>(kSignUnsigned);

        const Block opened = rawPower(blockFromHex(*split.record), modulus, publicExponent, false);
        const Block expected = sealBlock(md5(split.content));
        if (opened == expected) return static_cast<int32_t>(kSignValid);
        // Mark and filler in place: this key made it, over other content.
        const bool sameFrame = opened[0] == kBlockMark &&
                               std::equal(opened.begin() + 17, opened.end(), expected.begin() + 17);
        return static_cast<int32_t>(sameFrame ? kSignDigestDiffers : kSignForeignBlock);
    });
}
