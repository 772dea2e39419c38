#pragma once
#include <QByteArray>
#include <QString>
#include <ibase.h>

#include "dbaccess/TypeCodes.h"

class TParam;

// One input value laid out as the client library expects it.
struct BoundParam {
    short type = SqlTypeCode::Text;   // without the null bit
    short scale = 0;
    short subtype = 0;
    bool null = true;
    QByteArray data;                  // text: the bytes; others: the binary value
};

// Converts a parameter's value by its DataType. Texts are read by the
// user's locale and encoded in the connection character set; a value that
// does not convert raises EDatabaseError "Invalid variant type conversion",
// a type outside the supported set EIBClientError "Unsupported feature".
BoundParam BindParam(const TParam& param, const QString& charset, const XSQLVAR& described);

// Day counts (1899-12-30 = 0) to and from the server's date and time values.
constexpr int ServerDateOffset = 15018;   // 1899-12-30 counted from 1858-11-17
ISC_TIMESTAMP ToServerTimestamp(double dateTime);
double FromServerDate(ISC_DATE date);
double FromServerTime(ISC_TIME time);
