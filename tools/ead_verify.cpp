// tiv ead verify: the signing library's own check, with the program's key.
#include "ead_verify.h"

#include "sign/sign_bema.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tivtool {

EadKey programPublicKey() {
    return {"D541420AA50BBD6C21F5DDDF2B9C74EE9F06386CE76A392FE4CD5D3E0160E4AD"
            "CAD241DE60F0AADC4755556AA86E4B75EE82388C70F6234DD216C36A432797CD"
            "B869D921C247EEA92AC00AAA7F8AAE85DEA465E62994D13C3EAF131E2C885F7E"
            "6A41EB2FF6B62EC7EF0B48D466C1C1631860A8CD5F21EA3CE26896239085052D",
            "010001"};
}

EadVerdict verifyEad(const std::string &path, const EadKey &key, std::ostream &out) {
    const tiv::ModuleHandle library = tiv::loadLibrary("sign_bema.dll");
    if (library == 0)
        throw tiv::Error("the signing library cannot be loaded: " + tiv::lastLoadError());
    const auto validate =
        reinterpret_cast<SignValidateFileFn>(tiv::getProcAddress(library, "validateFile"));
    if (!validate) throw tiv::Error("the signing library has no validateFile");

    switch (validate(path.c_str(), key.modulus.c_str(), key.exponent.c_str())) {
    case kSignValid:
        out << "valid\n";
        return kEadValid;
    case kSignUnsigned:
        out << "unsigned\n";
        return kEadUnsigned;
    case kSignDigestDiffers:
        out << "invalid: the content is not what was signed (a byte was changed, added or "
               "removed)\n";
        return kEadInvalid;
    case kSignForeignBlock:
        out << "invalid: the signature was not made with this key\n";
        return kEadInvalid;
    case kSignBadRecord:
        out << "invalid: the last line begins with EAD but is not EAD followed by 256 "
               "hexadecimal digits\n";
        return kEadInvalid;
    case kSignFileError:
        throw tiv::Error("cannot read " + path);
    case kSignBadKey:
        throw tiv::Error("the key is not a 1024-bit RSA public key in hexadecimal");
    default:
        throw tiv::Error("the signing library could not check " + path);
    }
}

} // namespace tivtool
