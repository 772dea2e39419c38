// The parameter parser: strict parsing either fails with the client error
// or finds the names that lenient parsing finds; the text it returns has
// one "?" more per name than the statement had outside its literals.
#include "fuzz/FuzzSupport.h"

#include "core/Errors.h"
#include "dbaccess/ParamParser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::App();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const ParsedStatement lenient = ParseStatementParams(sql, false);
    try {
        const ParsedStatement strict = ParseStatementParams(sql, true);
        if (strict.names != lenient.names || strict.text != lenient.text)
            FuzzSupport::Fail("strict and lenient parsing disagree on a statement both accept");
        if (strict.text.count(QLatin1Char('?')) < strict.names.size())
            FuzzSupport::Fail("a parameter left no placeholder");
    } catch (const EIBClientError&) {
    }
    return 0;
}
