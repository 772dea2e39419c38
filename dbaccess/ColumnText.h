#pragma once
#include <QString>

#include "dbaccess/RowBuffer.h"

class ValueFormatter;

// Texts and integers of stored values (not BLOBs, not nulls): CHAR keeps
// its padding, VARCHAR comes as stored, numbers, dates and times by the
// locale (through format); text bytes are decoded with the connection character set.
QString ValueText(StoredValue value, const ColumnSlot& slot, const QString& charset, const ValueFormatter& format);
// The same written into out, whose memory is reused when no other string shares it.
void ValueText(StoredValue value, const ColumnSlot& slot, const QString& charset, const ValueFormatter& format,
               QString& out);
qint64 ValueInteger(StoredValue value, const ColumnSlot& slot, const QString& charset, const ValueFormatter& format);
// Text bytes (a stored CHAR/VARCHAR or a BLOB's content) decoded by charset.
QString DecodeText(const char* data, int length, const QString& charset);
void DecodeText(const char* data, int length, const QString& charset, QString& out);
