#pragma once
#include <QString>
#include <ibase.h>
#include <vector>

#include "dbaccess/ClientHandles.h"
#include "dbaccess/IBQuery.h"
#include "dbaccess/ParamBinding.h"
#include "dbaccess/RowBuffer.h"
#include "dbaccess/StatusVector.h"
#include "dbaccess/ValueFormatter.h"
#include "dbaccess/Xsqlda.h"

// The client-library side of a query: statement handle, descriptors,
// bound parameter values and the fetched rows.
struct TIBQuery::Impl {
    StatementHandle statement;
    int statementType = 0;
    Xsqlda in{1};
    Xsqlda out{1};
    std::vector<XSQLVAR> describedIn;   // the parameters as the server described them
    std::vector<BoundParam> bound;
    std::vector<short> nullFlags;
    RowBuffer rows;
    StatusVector fetchStatus;           // the fetch fills it on every call
    std::vector<int> fieldSlot;         // field index -> column slot
    ValueFormatter format;              // the user's locale, read at Open
    QString charset;                    // connection character set of the statement
    QString sentText;                   // the statement with "?" for each reference
    bool cursorOpen = false;
    bool allFetched = true;
};
