// Opening a record store by its path or URL (see record_store.h).
#include "provision/record_store.h"

#include "provision/record_store_location.h"
#include "provision/record_store_sql.h"

namespace r7730::provision {

std::unique_ptr<TRecordStore> TRecordStore::Open(const QString& url, const QString& workingFolder)
{
    return std::make_unique<TSqlRecordStore>(StoreLocation(url, workingFolder));
}

} // namespace r7730::provision
