// The numeric edit's text: parsing any text, formatting by any picture, and
// the general format read back as the same number (what a focus cycle does).
// Input: a first byte giving the picture's length, the picture, then text.
#include "fuzz/FuzzSupport.h"

#include "core/FloatFormat.h"
#include "controls/ZOVNumberEdit.h"
#include "core/Errors.h"
#include "core/UserLocale.h"

#include <cmath>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    UserLocale l;
    l.DecimalSeparator = '.';
    l.ThousandSeparator = ',';
    UserLocale::SetCurrent(l);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t maskLength = std::min<size_t>(data[0], size - 1);
    const QString mask = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(maskLength));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1 + maskLength),
                                           qsizetype(size - 1 - maskLength));
    const UserLocale& loc = UserLocale::Current();

    double value = 0;
    try {
        ParseNumberText(text, value);
    } catch (const EConvertError&) {
        return 0;
    }
    if (!std::isfinite(value))
        FuzzSupport::Fail("a parsed number is not finite");
    // Entering the control shows the general format; leaving reads it back.
    const QString shown = loc.FloatToStr(value);
    double again = 0;
    try {
        ParseNumberText(shown, again);
    } catch (const EConvertError&) {
        FuzzSupport::Fail("the general format of a number does not read back");
    }
    if (loc.FloatToStr(again) != shown)
        FuzzSupport::Fail("a focus cycle changes the number");
    try {
        const QString formatted = FormatFloat(mask, value);
        (void)formatted;
    } catch (const EConvertError&) {
        if (mask.size() <= 224)
            FuzzSupport::Fail("a picture of allowed length was refused");
    }
    return 0;
}
