// The EAD signing library: real signatures that its own check and the openssl
// command accept, and that one changed byte breaks.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "sign/sign_bema.h"
#include "tivplatform/system.h"

namespace fs = std::filesystem;

namespace {

void writeAll(const std::string &path, const std::string &data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::string unhex(const std::string &hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

int countOf(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

class SignTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tiv-sign-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        library = tiv::loadLibrary("sign_bema.dll");
        ASSERT_NE(library, 0u) << tiv::lastLoadError();
        generate = reinterpret_cast<SignGenerateEadFn>(tiv::getProcAddress(library, "generateEAD"));
        validate =
            reinterpret_cast<SignValidateFileFn>(tiv::getProcAddress(library, "validateFile"));
        const auto genkkey =
            reinterpret_cast<SignGenKKeyFn>(tiv::getProcAddress(library, "genkkey"));
        ASSERT_TRUE(generate && validate && genkkey);
        ASSERT_NE(tiv::getProcAddress(library, "setLibType"), nullptr);
        char n[257], d[257], e[257];
        ASSERT_EQ(genkkey(n, d, e), kSignValid);
        modulus = n, privateExponent = d, publicExponent = e;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    // Signs `path` with this test's key; the 256 digits handed back.
    std::string sign(const std::string &path, int32_t expected = kSignValid) {
        std::string buffer(257, ' ');
        buffer[256] = '\0';
        EXPECT_EQ(
            generate(path.c_str(), modulus.c_str(), privateExponent.c_str(), buffer.data(), 1),
            expected);
        EXPECT_EQ(buffer[256], '\0') << "wrote past the 256 characters";
        return buffer.substr(0, 256);
    }
    int32_t check(const std::string &path) const {
        return validate(path.c_str(), modulus.c_str(), publicExponent.c_str());
    }

    // The public half as a PEM file, for the openssl command.
    std::string publicPem() const {
        BIGNUM *n = nullptr, *e = nullptr;
        BN_hex2bn(&n, modulus.c_str());
        BN_hex2bn(&e, publicExponent.c_str());
        OSSL_PARAM_BLD *bld = OSSL_PARAM_BLD_new();
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n);
        OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e);
        OSSL_PARAM *params = OSSL_PARAM_BLD_to_param(bld);
        EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        EVP_PKEY *key = nullptr;
        EVP_PKEY_fromdata_init(ctx);
        EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_PUBLIC_KEY, params);
        const std::string path = folder + "/public.pem";
        FILE *f = std::fopen(path.c_str(), "w");
        PEM_write_PUBKEY(f, key);
        std::fclose(f);
        EVP_PKEY_free(key);
        EVP_PKEY_CTX_free(ctx);
        OSSL_PARAM_free(params);
        OSSL_PARAM_BLD_free(bld);
        BN_free(n);
        BN_free(e);
        return path;
    }

    std::string folder;
    tiv::ModuleHandle library = 0;
    SignGenerateEadFn generate = nullptr;
    SignValidateFileFn validate = nullptr;
    std::string modulus, privateExponent, publicExponent;
};

const std::string kContent = "E1EP0001001EPSON    TM-T900FA\r\n"
                             "E2000001EP0123456789012345    20261210\r\n"
                             "E21000001T1800    0000000012345\r\n";

TEST_F(SignTest, SignatureIsTheSealedDigestThatOpensslRecoversWithThePublicKey) {
    const std::string file = folder + "/EP000100110122026_CTP.txt";
    writeAll(file, kContent);
    const std::string digits = sign(file);

    EXPECT_EQ(tiv::readFile(file), kContent + "EAD" + digits + "\r\n");
    EXPECT_EQ(check(file), kSignValid);

    // The openssl command, on its own, recovers 0x10, MD5 of the content and
    // the 0xFF filler from the signature with the public key.
    writeAll(folder + "/content.txt", kContent);
    writeAll(folder + "/signature.bin", unhex(digits));
    const std::string cmd = "cd " + folder +
                            " && openssl dgst -md5 -binary content.txt > digest.bin"
                            " && openssl pkeyutl -verifyrecover -pubin -inkey " +
                            publicPem() +
                            " -pkeyopt rsa_padding_mode:none -in signature.bin -out block.bin";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::string digest = tiv::readFile(folder + "/digest.bin");
    ASSERT_EQ(digest.size(), 16u);
    EXPECT_EQ(tiv::readFile(folder + "/block.bin"), "\x10" + digest + std::string(111, '\xFF'));
}

TEST_F(SignTest, OneChangedByteAnywhereMakesTheFileInvalid) {
    const std::string file = folder + "/day.txt";
    writeAll(file, kContent);
    sign(file);
    const std::string signedFile = tiv::readFile(file);
    // Every byte in turn, the record's frame and line ends included: a changed
    // content byte changes the digest, a changed signature digit the block it
    // opens to, a changed frame the record itself.
    for (size_t at = 0; at < signedFile.size(); ++at) {
        std::string changed = signedFile;
        changed[at] = changed[at] == '7' ? '8' : '7';
        writeAll(file, changed);
        const int32_t verdict = check(file);
        if (at < kContent.size() - 1)
            EXPECT_EQ(verdict, kSignDigestDiffers) << "byte " << at;
        else if (at >= kContent.size() + 3 && at < kContent.size() + 3 + 256)
            EXPECT_EQ(verdict, kSignForeignBlock) << "byte " << at;
        else
            EXPECT_EQ(verdict, kSignBadRecord) << "byte " << at;
    }
    writeAll(file, signedFile);
    EXPECT_EQ(check(file), kSignValid);
}

TEST_F(SignTest, SigningTwiceLeavesOneRecord) {
    const std::string file = folder + "/day.txt";
    writeAll(file, kContent);
    const std::string first = sign(file);
    const std::string second = sign(file);
    EXPECT_EQ(first, second);
    EXPECT_EQ(tiv::readFile(file), kContent + "EAD" + first + "\r\n");
    EXPECT_EQ(countOf(tiv::readFile(file), "\nEAD"),
              1); // one record line (the digits may hold "EAD")
    EXPECT_EQ(check(file), kSignValid);
}

TEST_F(SignTest, ALastLineWithoutItsEndIsEndedBeforeTheRecord) {
    const std::string file = folder + "/day.txt";
    writeAll(file, "E1 no line end");
    const std::string digits = sign(file);
    EXPECT_EQ(tiv::readFile(file), "E1 no line end\r\nEAD" + digits + "\r\n");
    EXPECT_EQ(check(file), kSignValid);
}

TEST_F(SignTest, UnsignedMalformedAndForeignFilesAreToldApart) {
    const std::string file = folder + "/day.txt";
    writeAll(file, kContent);
    EXPECT_EQ(check(file), kSignUnsigned);
    writeAll(file, kContent + "EAD1234\r\n");
    EXPECT_EQ(check(file), kSignBadRecord);
    writeAll(file, kContent + "EAD" + std::string(256, '0') + "\r\n");
    EXPECT_EQ(check(file), kSignForeignBlock);

    // Signed with another key: this key's check refuses it.
    writeAll(file, kContent);
    sign(file);
    char n[257], d[257], e[257];
    ASSERT_EQ(reinterpret_cast<SignGenKKeyFn>(tiv::getProcAddress(library, "genkkey"))(n, d, e),
              kSignValid);
    EXPECT_NE(std::string(n), modulus);
    EXPECT_EQ(validate(file.c_str(), n, e), kSignForeignBlock);
}

TEST_F(SignTest, NothingIsWrittenWhenTheKeyOrTheFileIsWrong) {
    const std::string file = folder + "/day.txt";
    writeAll(file, kContent);
    std::string buffer(256, ' ');
    for (const std::string &bad : {std::string("ABC"), std::string(256, 'G'),
                                   std::string(255, 'F') + "E" /* even: not an RSA modulus */}) {
        EXPECT_EQ(generate(file.c_str(), bad.c_str(), privateExponent.c_str(), buffer.data(), 1),
                  kSignBadKey);
        EXPECT_EQ(tiv::readFile(file), kContent);
        EXPECT_EQ(buffer, std::string(256, ' '));
    }
    EXPECT_EQ(generate((folder + "/missing.txt").c_str(), modulus.c_str(), privateExponent.c_str(),
                       buffer.data(), 1),
              kSignFileError);
    EXPECT_EQ(generate(folder.c_str(), modulus.c_str(), privateExponent.c_str(), buffer.data(), 1),
              kSignFileError);
    EXPECT_FALSE(fs::exists(folder + "/missing.txt"));
    // No temporary file is left beside the signed ones.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

} // namespace
