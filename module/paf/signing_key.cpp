// The program's EAD signing key. Files it signs are checked with the public
// half; replacing it means publishing the new public half with the program.
#include "signing_key.h"

namespace tiv02000 {

const char kEadKeyPartA[] = "D541420AA50BBD6C21F5DDDF2B9C74EE9F06386CE76A392FE4CD5D3E0160E4AD"
                            "CAD241DE60F0AADC4755556AA86E4B75EE82388C70F6234DD216C36A432797CD"
                            "B869D921C247EEA92AC00AAA7F8AAE85DEA465E62994D13C3EAF131E2C885F7E"
                            "6A41EB2FF6B62EC7EF0B48D466C1C1631860A8CD5F21EA3CE26896239085052D";

const char kEadKeyPartB[] = "D36A9ADA8ABD94D13AE9D1488AA7D5952BBAB2FDE47E7EAB689DE02EB497269E"
                            "D5509554ADAE6AF56F12BE57BB1B7D5C315490534B39F9CE10D5D86DE49DBFF3"
                            "B68590B6B0CB1F6BD9646FDF0367A3FBB9184CFCBFA5B09FD244201099CBBEA4"
                            "BC64347BFB5BACFDE7178B98A19E83CF03814C49AE588519E7CF9B66927B8581";

static_assert(sizeof kEadKeyPartA == 257 && sizeof kEadKeyPartB == 257,
              "each key part is 256 hexadecimal digits");

} // namespace tiv02000
