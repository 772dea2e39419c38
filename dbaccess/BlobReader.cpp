#include "dbaccess/BlobReader.h"

#include "dbaccess/ClientHandles.h"
#include "dbaccess/StatusVector.h"

QByteArray ReadBlob(isc_db_handle* db, isc_tr_handle* tr, const ISC_QUAD& id)
{
    StatusVector status;
    BlobHandle blob;
    ISC_QUAD blobId = id;
    isc_open_blob2(&status, db, tr, &blob, &blobId, 0, nullptr);
    status.Check("isc_open_blob2");

    QByteArray content;
    char segment[32768];
    for (;;) {
        unsigned short length = 0;
        status.Clear();
        const ISC_STATUS rc = isc_get_segment(&status, &blob, &length, sizeof segment, segment);
        if (rc == isc_segstr_eof)
            break;
        if (rc != 0 && rc != isc_segment)
            status.Check("isc_get_segment");
        content.append(segment, length);
    }
    return content;
}
