#include "dbaccess/Xsqlda.h"

#include <cstring>

void Xsqlda::Allocate(int vars)
{
    if (vars < 1)
        vars = 1;
    const size_t size = XSQLDA_LENGTH(vars);
    FStorage = std::make_unique<char[]>(size);
    std::memset(FStorage.get(), 0, size);
    get()->version = SQLDA_VERSION1;
    get()->sqln = short(vars);
}
