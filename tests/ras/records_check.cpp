// The dial-up component's own record declarations against the platform's <ras.h>,
// checked when this file compiles, in each architecture's tree. <ras.h> declares only
// the newest versions of the records, so what is compared is where each field of our
// older versions lies, and that each of our records ends where the newer version's
// first added field begins (rounded up to the 4-byte packing).
#include <windows.h>

#include <cstddef>

#include "ras/ztrasAPI.h"

#include <ras.h>
// <ras.h> names its records through macros; these names are ours from here on.
#undef RASENTRYNAME
#undef RASCONN
#undef RASDIALPARAMS
#undef RASPPPIP

#define SAME(record, field) (offsetof(tag##record##A, field) == offsetof(zt::ras::record, field))
#define ENDS(record, next) (sizeof(zt::ras::record) == ((offsetof(tag##record##A, next) + 3) & ~std::size_t(3)))

static_assert(SAME(RASENTRYNAME, szEntryName) && ENDS(RASENTRYNAME, dwFlags));
static_assert(SAME(RASCONN, hrasconn) && sizeof(tagRASCONNA::hrasconn) == sizeof(zt::ras::RASCONN::hrasconn)
              && SAME(RASCONN, szEntryName) && SAME(RASCONN, szDeviceType) && SAME(RASCONN, szDeviceName)
              && ENDS(RASCONN, szPhonebook));
static_assert(SAME(RASDIALPARAMS, szEntryName) && SAME(RASDIALPARAMS, szPhoneNumber)
              && SAME(RASDIALPARAMS, szUserName) && SAME(RASDIALPARAMS, szPassword)
              && SAME(RASDIALPARAMS, szDomain) && ENDS(RASDIALPARAMS, dwSubEntry));
static_assert(SAME(RASPPPIP, dwError) && SAME(RASPPPIP, szIpAddress) && ENDS(RASPPPIP, szServerIpAddress));
