#pragma once
// The host's support library and common driver package as the driver relies
// on them. A real host may replace this library.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tivplatform/dataset.h"
#include "tivplatform/datetime.h"
#include "tivplatform/export.h"
#include "tivplatform/params.h"
#include "tivplatform/variant.h"

namespace tivhost {

using tiv::TDateTime;
using tiv::Variant;

// --- Text and number routines (Windows-1252 texts) ----------------------
TIV_EXPORT std::string Replicate(const std::string &s, int n);
// Exactly n characters, left-aligned: cut or filled with blanks on the right.
TIV_EXPORT std::string TamFixo(const std::string &s, int n);
// Exactly n characters, right-aligned: filled with blanks on the left; a
// longer text keeps its last n characters.
TIV_EXPORT std::string TamFixoR(const std::string &s, int n);
// Blanks on the left up to n; a longer text is returned unchanged.
TIV_EXPORT std::string PadL(const std::string &s, int16_t n);
// Brought to exactly n characters. A digit text (blanks around it dropped)
// is zero-filled on the left and, when longer, keeps its last n digits
// ("12" -> "000012"); any other text is blank-filled on the right and cut to
// its first n characters, like TamFixo ("UN" -> "UN ").
TIV_EXPORT std::string Ajusta(const std::string &s, int n);
// Blanks around dropped, zero-filled on the left; a longer text keeps its
// last n characters.
TIV_EXPORT std::string AjustaZero(const std::string &s, int n);
// Blanks around dropped, then centred in exactly w columns, the odd blank on
// the right; longer texts cut to their first w characters.
TIV_EXPORT std::string Centraliza(const std::string &s, uint8_t w);
TIV_EXPORT std::string RTrim(const std::string &s);
TIV_EXPORT bool EmptyString(const std::string &s);
TIV_EXPORT Variant iif(bool c, const Variant &a, const Variant &b);
TIV_EXPORT double RoundDec(double x, int n);
TIV_EXPORT double Trunc2(double x);
TIV_EXPORT double Trunc3(double x);
// Difference a - b as "hh:nn:ss" in whole seconds, preceded by "-" when a is
// earlier than b (not for "00:00:00"). Hours pass 24; 100 hours or more read
// as "99:59:59". A date-time that is not a number raises ConversionError.
TIV_EXPORT std::string SubtDataHoraQel(TDateTime a, TDateTime b);
// Pause of n units before a retry; the unit is 1000 ms until changed, and
// tests set it to zero.
TIV_EXPORT void Delay(uint8_t n);
TIV_EXPORT void setDelayUnitMs(int ms);

// --- Parameter intake ------------------------------------------------------
// The value of a named parameter. A missing or malformed array raises
// tiv::DataError saying what is wrong; a name absent from a well-formed array
// answers an empty variant.
TIV_EXPORT Variant RecebeParams(const tiv::ParamArray &params, const std::string &name);

// --- Messages catalogue component --------------------------------------
class TIV_EXPORT TMessages {
  public:
    TMessages() = default;
    // "key|text" lines; the text is everything after the first bar.
    explicit TMessages(std::vector<std::string> lines) : lines_(std::move(lines)) {}
    void setLines(std::vector<std::string> lines) { lines_ = std::move(lines); }
    const std::vector<std::string> &lines() const { return lines_; }
    // First line whose key equals `key` without regard to case; an unknown
    // key answers the key itself.
    std::string Msg(const std::string &key) const;

  private:
    std::vector<std::string> lines_;
};

// --- Operator dialogs ------------------------------------------------------
struct Dialog {
    std::string text, caption, flag, askMark;
    int kind = 0;
    std::string extra, colourScheme;
    int number = 0;
    const tiv::TClientDataSet *dataset = nullptr;
};
using DialogHandler = std::function<bool(const Dialog &)>;
// Installs the host's dialog handler; an empty handler uninstalls it.
TIV_EXPORT void setDialogHandler(DialogHandler handler);
// Hands the dialog to the installed handler and returns its answer. With none
// installed it writes the text (as UTF-8) to standard error and answers no.
TIV_EXPORT bool Mensagem(const std::string &text, const std::string &caption,
                         const std::string &flag, const std::string &askMark, int kind,
                         const std::string &extra, const std::string &colourScheme, int number,
                         const tiv::TClientDataSet *dataset);

// --- Field encoding ----------------------------------------------------------
// Each byte XOR a keystream drawn from the key, as two upper-case hex digits
// (docs/host.md). Uncripto of text that is not pairs of hex digits raises
// tiv::DataError.
TIV_EXPORT std::string Cripto(const std::string &s, int key);
TIV_EXPORT std::string Uncripto(const std::string &s, int key);

// --- Document counters (rows in Dados/host.db under the program folder) ---
// One row per call; a folder or database that cannot be written raises
// tiv::Error naming the path.
TIV_EXPORT void GravaCER(const std::string &a, const std::string &b, TDateTime date);
TIV_EXPORT void setDocNaoFiscaisECF(const std::wstring &s1, const std::wstring &s2,
                                    const std::wstring &s3, const std::wstring &s4,
                                    const std::wstring &s5, const std::wstring &s6,
                                    const std::wstring &s7, TDateTime d1, TDateTime d2,
                                    const std::string &s8);
// Path of the host database.
TIV_EXPORT std::string hostDatabasePath();

// --- Common driver package: procedure variables the host sets --------------
// Both start empty. The driver skips an empty Atu_TotGeral and, with an empty
// DataMoviFiscal, uses its own fiscal date.
using AtuTotGeralProc = std::function<bool(const tiv::ParamArray &)>;
using DataMoviFiscalProc = std::function<TDateTime(const std::string &colourScheme)>;
TIV_EXPORT AtuTotGeralProc &Atu_TotGeral();
TIV_EXPORT DataMoviFiscalProc &DataMoviFiscal();

} // namespace tivhost
