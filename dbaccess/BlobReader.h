#pragma once
#include <QByteArray>
#include <ibase.h>

// Reads a whole BLOB, segment by segment, within the given transaction.
QByteArray ReadBlob(isc_db_handle* db, isc_tr_handle* tr, const ISC_QUAD& id);
