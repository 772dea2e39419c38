#pragma once
// The message of the error an action raises, for comparing with the exact
// text a test expects.
#include <QString>

#include "core/Errors.h"

// The message of the error of class E (or a class derived from it) that
// action raises; "<no error>" when it raises none. Errors of other classes
// pass through and fail the test.
template <class E = ELarkspanError, class F>
QString ErrorOf(F&& action)
{
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}
