// Raw RSA on one block: the block is the padding, so no other is applied.
#include "raw_rsa.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <memory>

#include "sign/sign_bema.h"

namespace signbema {

namespace {

struct BnFree {
    void operator()(BIGNUM *bn) const { BN_clear_free(bn); }
};
struct CtxFree {
    void operator()(BN_CTX *ctx) const { BN_CTX_free(ctx); }
};
struct PkeyFree {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

Bn fromHex(const std::string &hex, size_t maxDigits) {
    if (hex.empty() || hex.size() > maxDigits || !isHex(hex, hex.size()))
        throw SignError(kSignBadKey, "not a hexadecimal key part of at most " +
                                         std::to_string(maxDigits) + " digits");
    BIGNUM *bn = nullptr;
    if (BN_hex2bn(&bn, hex.c_str()) != static_cast<int>(hex.size()))
        throw SignError(kSignCryptoError, "BN_hex2bn failed");
    return Bn(bn);
}

std::string toHexPadded(const BIGNUM *bn) {
    unsigned char bytes[kBlockSize];
    if (BN_bn2binpad(bn, bytes, sizeof bytes) != static_cast<int>(sizeof bytes))
        throw SignError(kSignCryptoError, "key part longer than 1024 bits");
    return toHex(bytes, sizeof bytes);
}

} // namespace

Block rawPower(const Block &block, const std::string &modulusHex, const std::string &exponentHex,
               bool secret) {
    if (modulusHex.size() != kHexDigits)
        throw SignError(kSignBadKey, "the modulus is not 256 hexadecimal digits");
    Bn modulus = fromHex(modulusHex, kHexDigits);
    Bn exponent = fromHex(exponentHex, kHexDigits);
    if (BN_num_bits(modulus.get()) != 1024 || !BN_is_odd(modulus.get()) ||
        BN_is_zero(exponent.get()))
        throw SignError(kSignBadKey, "not a 1024-bit RSA key");

    Bn base(BN_bin2bn(block.data(), static_cast<int>(block.size()), nullptr));
    Bn result(BN_new());
    std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
    if (!base || !result || !ctx) throw SignError(kSignCryptoError, "out of memory");
    if (BN_cmp(base.get(), modulus.get()) >= 0)
        throw SignError(kSignForeignBlock, "block not below the modulus");

    int ok;
    if (secret) {
        BN_set_flags(exponent.get(), BN_FLG_CONSTTIME);
        ok = BN_mod_exp_mont_consttime(result.get(), base.get(), exponent.get(), modulus.get(),
                                       ctx.get(), nullptr);
    } else {
        ok = BN_mod_exp(result.get(), base.get(), exponent.get(), modulus.get(), ctx.get());
    }
    Block out{};
    if (ok != 1 || BN_bn2binpad(result.get(), out.data(), static_cast<int>(out.size())) !=
                       static_cast<int>(out.size()))
        throw SignError(kSignCryptoError, "modular exponentiation failed");
    return out;
}

KeyPair generateKeyPair() {
    std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_RSA_gen(1024));
    if (!key) throw SignError(kSignCryptoError, "RSA key generation failed");
    KeyPair pair;
    const std::pair<const char *, std::string *> parts[] = {
        {OSSL_PKEY_PARAM_RSA_N, &pair.modulus},
        {OSSL_PKEY_PARAM_RSA_D, &pair.privateExponent},
        {OSSL_PKEY_PARAM_RSA_E, &pair.publicExponent}};
    for (const auto &[name, text] : parts) {
        BIGNUM *bn = nullptr;
        if (EVP_PKEY_get_bn_param(key.get(), name, &bn) != 1)
            throw SignError(kSignCryptoError, std::string("no key part ") + name);
        const Bn owned(bn);
        *text = toHexPadded(owned.get());
    }
    return pair;
}

} // namespace signbema
