#pragma once
// The fiscal menu's folder and the files the printer library writes into it.
#include <string>

namespace tiv02000 {

// The program folder's "Dados/MenuFiscal", without the closing separator.
std::string fiscalMenuFolder();
// Makes the folder when it is missing; a folder that cannot be made is told
// to the operator ("N_POS_DIR") and the procedure carries on.
void ensureFiscalMenuFolder();
// "ddmmyyyyhhmss": the reading files' time stamp, the minute without its
// leading zero.
std::string readingStamp();

// Gives the file the library wrote its final name. A file already under
// that name is replaced, in one step, and the replacement is logged: the
// inspector must get the new file, never the old one.
void giveFinalName(const std::string &written, const std::string &finalPath);

} // namespace tiv02000
